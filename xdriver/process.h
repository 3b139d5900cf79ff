// SPDX-License-Identifier: MIT
// Starts a program with its standard output and error captured on pipes,
// collects what it writes, and waits for its end with a deadline.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace proc {

struct Process {
  pid_t pid = -1;
  int outFd = -1;  // our end of its standard output, -1 once closed
  int errFd = -1;  // our end of its standard error, -1 once closed
  std::string out;
  std::string err;
  int status = -1;  // waitpid status once it has ended
  bool ended = false;
};

// Starts `argv` (argv[0] is the program, looked up in PATH; put env(1) in
// front to change its environment).
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
// Ends a process that is still running (SIGKILL), reaps it and closes the pipes.
void stop(Process& p);

// Ends the process when the scope is left, also after a failed assertion,
// so nothing a test started outlives it.
struct Reaper {
  Process& p;
  ~Reaper() { stop(p); }
};

}  // namespace proc
