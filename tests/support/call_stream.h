// SPDX-License-Identifier: MIT
// Helpers shared by the call-stream tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/gl_recorder.h"

// For a death test's child: standard output goes to a scratch file from here
// on, and at exit the last recorded call and what arrived on standard output
// are written to standard error as "last <call>; stdout:[...]", after
// anything the code wrote there itself. The death test's matcher, which sees
// only standard error, can so tell the two streams apart.
inline void reportAtExit() {
  fflush(stdout);
  static FILE* captured = tmpfile();
  dup2(fileno(captured), STDOUT_FILENO);
  atexit([] {
    fflush(stdout);
    std::string text;
    fseek(captured, 0, SEEK_SET);
    for (int c = 0; (c = fgetc(captured)) != EOF;) {
      text += static_cast<char>(c);
    }
    std::ostringstream last;
    last << glrec::calls().back();
    fprintf(stderr, "last %s; stdout:[%s]", last.str().c_str(), text.c_str());
  });
}

// Death tests fork a process that runs GL code; the threadsafe style
// re-executes the test binary instead of forking a live one. Under a user-mode
// emulator the re-executed binary is one the kernel cannot run, so there the
// build asks for the fork alone (QUILLMERE_DEATH_TEST_STYLE).
#ifndef QUILLMERE_DEATH_TEST_STYLE
#define QUILLMERE_DEATH_TEST_STYLE "threadsafe"
#endif
class CallStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, QUILLMERE_DEATH_TEST_STYLE);
    glrec::reset();
  }
};
