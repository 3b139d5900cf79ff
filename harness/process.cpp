// SPDX-License-Identifier: MIT
// Child processes for the screenshot tool, the end-to-end tests and the
// benchmarks.
#include "harness/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "harness/wait_until.h"

namespace proc {

Process start(std::vector<std::string> argv) {
  std::vector<char*> cargs(argv.size() + 1, nullptr);  // ending in the null pointer
  // posix_spawn takes the arguments as char*, which only a non-const string gives.
  // cppcheck-suppress constParameterReference
  std::transform(argv.begin(), argv.end(), cargs.begin(), [](std::string& a) { return a.data(); });

  Process p;
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    // Out of file descriptors, most likely: nothing is started.
    p.startError = errno;
    p.ended = true;
    for (const int fd : {out[0], out[1]}) {
      if (fd >= 0) {
        close(fd);
      }
    }
    return p;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  // A group of its own, so that stop ends the children it leaves too.
  posix_spawnattr_t attrs;
  posix_spawnattr_init(&attrs);
  posix_spawnattr_setflags(&attrs, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attrs, 0);
  const int failed = posix_spawnp(&p.pid, cargs[0], &actions, &attrs, cargs.data(), environ);
  posix_spawnattr_destroy(&attrs);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  p.outFd = out[0];
  p.errFd = err[0];
  fcntl(p.outFd, F_SETFL, O_NONBLOCK);
  fcntl(p.errFd, F_SETFL, O_NONBLOCK);
  if (failed != 0) {
    p.ended = true;  // nothing to wait for; the caller sees no window and no output
    p.pid = -1;
    p.startError = failed;
  }
  return p;
}

static void readAvailable(int fd, std::string& into, size_t& dropped) {
  char buf[4096];
  ssize_t n = 0;
  while (fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0) {
    const size_t room = OUTPUT_KEPT_BYTES - std::min(into.size(), OUTPUT_KEPT_BYTES);
    const size_t kept = std::min(room, static_cast<size_t>(n));
    into.append(buf, kept);
    dropped += static_cast<size_t>(n) - kept;
  }
}

void drain(Process& p) {
  readAvailable(p.outFd, p.out, p.dropped);
  readAvailable(p.errFd, p.err, p.dropped);
}

void closeOutput(Process& p) {
  close(p.outFd);
  p.outFd = -1;
}

// Reads what is left once the process has gone, and lets the pipes go.
static void finish(Process& p) {
  drain(p);
  for (int* fd : {&p.outFd, &p.errFd}) {
    if (*fd >= 0) {
      close(*fd);
    }
    *fd = -1;
  }
}

bool waitForExit(Process& p, double seconds) {
  const bool done = waitUntil(
      [&] {
        drain(p);
        if (!p.ended && waitpid(p.pid, &p.status, WNOHANG) == p.pid) {
          p.ended = true;
        }
        return p.ended;
      },
      seconds);
  if (done) {
    finish(p);
  }
  return done;
}

long cpuTicks(pid_t pid) {
  // Fields 14 and 15; the command name in field 2 has no spaces here.
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* stat = fopen(path, "r");
  long utime = 0;
  long stime = 0;
  if (stat != nullptr) {
    if (fscanf(stat, "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %ld %ld", &utime,
               &stime) != 2) {
      utime = stime = 0;
    }
    fclose(stat);
  }
  return utime + stime;
}

void stop(Process& p) {
  if (p.pid > 0) {
    // The group outlives its leader while any of its children runs.
    kill(-p.pid, SIGKILL);
    if (!p.ended) {
      waitpid(p.pid, &p.status, 0);
      p.ended = true;
    }
  }
  finish(p);
}

bool inGroupOf(const Process& p, long pid) {
  return p.pid > 0 && pid > 0 && getpgid(static_cast<pid_t>(pid)) == p.pid;
}

// The decimal number that `digits` starts with (0 when none does), read
// without the C library's locale, which a signal handler may not touch.
static long leadingNumber(const char* digits) {
  long n = 0;
  for (const char* c = digits; *c >= '0' && *c <= '9'; ++c) {
    n = 10 * n + (*c - '0');
  }
  return n;
}

// The parent of `pid` from /proc/PID/stat ("pid (name) state ppid ..."),
// -1 when it has gone. Only system calls, which a signal handler may make.
static pid_t parentOf(const char* pid) {
  char path[64] = "/proc/";
  strncat(path, pid, 32);
  strncat(path, "/stat", 8);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  char stat[512];
  const ssize_t n = read(fd, stat, sizeof stat - 1);
  close(fd);
  if (n <= 0) {
    return -1;
  }
  stat[n] = '\0';
  const char* end = strrchr(stat, ')');  // the name may hold spaces and parentheses
  if (end == nullptr || end[1] == '\0' || end[2] == '\0' || end[3] == '\0') {
    return -1;
  }
  return static_cast<pid_t>(leadingNumber(end + 4));  // after ") S "
}

// SIGKILLs every child of this process; true if there was one.
static bool killChildren() {
  const int dir = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    return false;
  }
  const pid_t self = getpid();
  bool any = false;
  alignas(8) char entries[4096];
  long n = 0;
  while ((n = syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0) {
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const dirent64*>(&entries[at]);  // NOLINT
      if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9' && parentOf(entry->d_name) == self) {
        kill(static_cast<pid_t>(leadingNumber(entry->d_name)), SIGKILL);
        any = true;
      }
      at += entry->d_reclen;
    }
  }
  close(dir);
  return any;
}

void endDescendants() {
  // Each round ends the children; the processes they leave come to this
  // one, the subreaper, and are ended in the next. A bound on the rounds
  // keeps a process that forks without end from holding this one.
  for (int round = 0; round < 1000; ++round) {
    const bool any = killChildren();
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!any && waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) {
      return;
    }
    const timespec pause = {0, 1000000};  // 1 ms for the killed to be gone
    nanosleep(&pause, nullptr);
  }
}

}  // namespace proc
