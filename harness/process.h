// SPDX-License-Identifier: MIT
// Starts a program with its standard output and error captured on pipes,
// collects what it writes, and waits for its end with a deadline.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace proc {

// What is kept of each of a process's two output streams; the rest is read
// and counted, so that a process that floods its output neither blocks nor
// fills our memory.
constexpr size_t OUTPUT_KEPT_BYTES = size_t{1} << 20;

struct Process {
  pid_t pid = -1;  // also its process group's id: its children share the group
  int outFd = -1;  // our end of its standard output, -1 once closed
  int errFd = -1;  // our end of its standard error, -1 once closed
  std::string out;
  std::string err;
  size_t dropped = 0;  // bytes of its output read beyond OUTPUT_KEPT_BYTES
  int status = -1;     // waitpid status once it has ended
  bool ended = false;
  int startError = 0;  // errno of a start that failed (then ended is true)
};

// Starts `argv` (argv[0] is the program, looked up in PATH; put env(1) in
// front to change its environment) in a process group of its own.
Process start(std::vector<std::string> argv);
// Collects what the process wrote so far without blocking.
void drain(Process& p);
// Closes our end of its standard output: its next write there meets a
// pipe with no reader.
void closeOutput(Process& p);
// Waits for the process to end and reaps it; true if it ended within
// `seconds`. Once it has ended, the pipes are read to the end and closed.
bool waitForExit(Process& p, double seconds);
// User plus system CPU time a running process has used so far, in clock ticks.
long cpuTicks(pid_t pid);
// Ends the process, if it still runs, and every process left in its group
// (SIGKILL), reaps it and closes the pipes.
void stop(Process& p);
// Whether `pid` runs in the process group that `p` leads: `p` or a child of it.
bool inGroupOf(const Process& p, long pid);
// Ends (SIGKILL) and reaps every process below this one. In a subreaper
// (prctl's PR_SET_CHILD_SUBREAPER) that includes what its children left
// behind, in a session of its own or not. Makes only system calls, so a
// signal handler may call it.
void endDescendants();

// Ends the process when the scope is left, also after a failed assertion,
// so nothing a test started outlives it.
struct Reaper {
  Process& p;
  ~Reaper() { stop(p); }
  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;
  Reaper(Reaper&&) = delete;
  Reaper& operator=(Reaper&&) = delete;
};

}  // namespace proc
