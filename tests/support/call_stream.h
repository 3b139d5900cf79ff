// SPDX-License-Identifier: MIT
// Helpers shared by the call-stream tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/gl_recorder.h"

// Every value viewAngle can hold: 0, 5, ..., 355 degrees.
inline std::vector<float> reachableViewAngles() {
  std::vector<float> angles;
  for (int k = 0; k < 72; ++k) {
    angles.push_back(static_cast<float>(5 * k));
  }
  return angles;
}

// For a death test's child: standard output goes to a scratch file from here
// on, and at exit what arrived there is written to standard error as
// "stdout:[...]", after anything the code wrote to standard error itself. The
// death test's matcher, which sees only standard error, can so tell the two
// streams apart.
inline void reportStdoutAtExit() {
  fflush(stdout);
  static FILE* captured = tmpfile();
  dup2(fileno(captured), STDOUT_FILENO);
  atexit([] {
    fflush(stdout);
    std::string text;
    rewind(captured);
    for (int c; (c = fgetc(captured)) != EOF;) {
      text += static_cast<char>(c);
    }
    fprintf(stderr, "stdout:[%s]", text.c_str());
  });
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
