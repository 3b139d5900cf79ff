// SPDX-License-Identifier: MIT
// Helpers shared by the call-stream tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>

#include "gl_recorder.h"

// Sends standard output to standard error from here on, so a death test's
// matcher sees what the dying code printed with printf. Buffered output from
// before is flushed to the old standard output first.
inline void stdoutToStderr() {
  fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

// Death tests fork a process that runs GL code; the threadsafe style
// re-executes the test binary instead of forking a live one.
class CallStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    glrec::reset();
  }
};
