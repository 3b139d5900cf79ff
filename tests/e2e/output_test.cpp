// SPDX-License-Identifier: MIT
// Where the instruction lines go: the C library buffers standard output,
// and the viewer never flushes it nor checks its writes. These pin the
// platform's behaviour, which the man page documents, not ours.
#include <signal.h>
#include <sys/wait.h>

#include <string>

#include "e2e/e2e_support.h"

using Output = DisplayTest;

// Standard output is line-buffered on a terminal and fully buffered on a
// pipe, and the viewer never flushes it.
TEST_F(Output, InstructionsShowAtStartUpOnATerminalAndAtExitThroughAPipe) {
  ASSERT_NO_FATAL_FAILURE(launch());
  proc::drain(viewer);
  EXPECT_EQ(viewer.out, "");
  ASSERT_NO_FATAL_FAILURE(escape());
  EXPECT_EQ(viewer.out, INSTRUCTIONS);
  // script(1) runs the viewer on a terminal of its own and copies what it
  // shows; it hands its command to a shell, so the viewer is named there by
  // a variable, whatever its path holds.
  ASSERT_NO_FATAL_FAILURE(launch(
      {}, {"sh", "-c",
           "export QUILLMERE_VIEWER=\"$0\"; exec script -qfec '\"$QUILLMERE_VIEWER\"' /dev/null"}));
  EXPECT_TRUE(waitUntil(
      [&] { return proc::drain(viewer), viewer.out.find("Esc to exit.") != std::string::npos; },
      10))
      << viewer.out;
  ASSERT_NO_FATAL_FAILURE(escape());
}

// The two lines are written when the process exits; with nobody reading,
// that write ends it by SIGPIPE.
TEST_F(Output, EscWithTheReaderGoneEndsBySigpipe) {
  ASSERT_NO_FATAL_FAILURE(launch());
  proc::closeOutput(viewer);
  xw::pressKey(dpy, win, XK_Escape);
  ASSERT_TRUE(proc::waitForExit(viewer, 10));
  EXPECT_TRUE(WIFSIGNALED(viewer.status) && WTERMSIG(viewer.status) == SIGPIPE) << viewer.status;
}

// The viewer does not check its writes: with standard output on a full
// device or closed, the two lines are lost without a word, and Esc still ends
// it with 0.
TEST_F(Output, UnwritableStandardOutputLosesTheLinesAndEscStillExitsWithZero) {
  for (const char* redirect : {"exec \"$0\" >/dev/full", "exec \"$0\" >&-"}) {
    ASSERT_NO_FATAL_FAILURE(launch({}, {"sh", "-c", redirect})) << redirect;
    ASSERT_NO_FATAL_FAILURE(escape()) << redirect;
    EXPECT_EQ(viewer.out + viewer.err, "") << redirect;
  }
}

// With standard output a pipe that is already full, the lines written at
// exit wait for the reader: Esc closes the window, and the process ends only
// once the pipe is read.
TEST_F(Output, AFullPipeHoldsTheExitUntilItIsRead) {
  constexpr int PIPE_BYTES = 65536;  // a pipe's capacity unless someone changed it
  viewer = proc::start({"env", "DISPLAY=" + std::string(DisplayString(dpy)), "sh", "-c",
                        "head -c " + std::to_string(PIPE_BYTES) + " /dev/zero; exec \"$0\"",
                        QUILLMERE_BINARY});
  win = xw::findPaintedWindow(dpy, "Quillmere", 20);
  ASSERT_NE(win, 0UL) << "no viewer window showed a frame";
  xw::pressKey(dpy, win, XK_Escape);
  EXPECT_TRUE(waitUntil([&] { return xw::findWindow(dpy, "Quillmere", 0) == 0; }, 10))
      << "Esc did not close the window";
  int status = 0;
  EXPECT_FALSE(waitUntil([&] { return waitpid(viewer.pid, &status, WNOHANG) != 0; }, 1))
      << "ended with the pipe still full";
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 0, 10));  // it reads the pipe
  EXPECT_EQ(viewer.out.size(), PIPE_BYTES + std::string(INSTRUCTIONS).size());
}
