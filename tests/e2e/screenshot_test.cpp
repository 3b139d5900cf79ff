// SPDX-License-Identifier: MIT
// make run's screenshot tool under a careless caller: each bad output path,
// viewer or display fails fast with its real cause and leaves nothing behind,
// no process and no part of a file; and it grabs and ends its own viewer's
// window, never another's.
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "harness/png.h"

namespace {
const std::string SHOT_TOOL = QUILLMERE_BUILD_DIR "/screenshot/quillmere-shot";
const std::string UNSET = "(unset)";  // a display for shoot: DISPLAY is not set at all

class ScreenshotTool : public PrivateServer {
 protected:
  // Runs the tool on `display` (or with DISPLAY UNSET) behind `wrapper`.
  proc::Process shoot(const std::string& display, const std::string& png,
                      const std::vector<std::string>& viewerArgv,
                      const std::vector<std::string>& wrapper = {}) const {
    std::vector<std::string> argv = {"env", "DISPLAY=" + display};
    if (display == UNSET) {
      argv = {"env", "-u", "DISPLAY"};
    }
    argv.insert(argv.end(), wrapper.begin(), wrapper.end());
    argv.push_back(SHOT_TOOL);
    argv.push_back(png);
    argv.insert(argv.end(), viewerArgv.begin(), viewerArgv.end());
    return proc::start(argv);
  }
  // Nothing but `keep` is left in the scratch directory.
  void expectScratchHoldsOnly(const std::vector<std::string>& keep) const {
    for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
      const std::string name = entry.path().filename().string();
      EXPECT_NE(std::find(keep.begin(), keep.end(), name), keep.end()) << name << " is left";
    }
  }
};
}  // namespace

TEST_F(ScreenshotTool, FailsFastNamingTheCauseForBadPathsViewersAndDisplays) {
  const SilentDisplay silent;
  ASSERT_FALSE(silent.name.empty()) << "no free port for a silent display";
  const std::string png = scratch + "/shot.png";
  const std::string fifo = scratch + "/fifo";
  const std::string plain = scratch + "/plain";
  const std::string readOnly = scratch + "/read-only.png";
  const std::string missing = scratch + "/missing/shot.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(plain) << "not a program\n";
  std::ofstream(readOnly) << "an older picture\n";
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  const std::vector<std::string> fewFiles = {"sh", "-c", "ulimit -n 6; exec \"$@\"", "sh"};
  const struct {
    std::string display;
    std::string out;
    std::string viewer;
    std::string message;
    bool fewDescriptors = false;  // run with only 6 file descriptors
  } cases[] = {
      {displayName, png, scratch + "/none",
       "cannot start " + scratch + "/none: No such file or directory"},
      {displayName, png, plain, "cannot start " + plain + ": Permission denied"},
      {displayName, fifo, QUILLMERE_BINARY, "cannot write " + fifo + ": not a regular file"},
      {displayName, scratch, QUILLMERE_BINARY, "cannot write " + scratch + ": not a regular file"},
      {silent.name, png, QUILLMERE_BINARY,
       "the display " + silent.name + " did not answer within 5 s"},
      {":4999", png, QUILLMERE_BINARY, "cannot open the display :4999"},
      {UNSET, png, QUILLMERE_BINARY, "no display: DISPLAY is not set"},
      {"", png, QUILLMERE_BINARY, "no display: DISPLAY is empty"},
      {displayName, readOnly, QUILLMERE_BINARY,
       "cannot write " + readOnly + ": it is read-only; make it writable or remove it"},
      {displayName, missing, QUILLMERE_BINARY,
       "cannot write " + missing + ": No such file or directory"},
      {displayName, png, QUILLMERE_BINARY,
       std::string("cannot start ") + QUILLMERE_BINARY + ": Too many open files", true},
  };
  for (const auto& c : cases) {
    proc::Process shot = shoot(c.display, c.out, {c.viewer},
                               c.fewDescriptors ? fewFiles : std::vector<std::string>{});
    const proc::Reaper reaper{shot};
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 1, 8)) << c.message;
    EXPECT_EQ(shot.err, "quillmere-shot: " + c.message + "\n") << c.message;
  }
  EXPECT_EQ(xw::findWindow(dpy, "Quillmere", 0), 0UL) << "a viewer was left running";
  ASSERT_NO_FATAL_FAILURE(expectScratchHoldsOnly({"fifo", "plain", "read-only.png"}));
}

TEST_F(ScreenshotTool, AnswersHelpWithItsUsage) {
  for (const char* option : {"-h", "--help"}) {
    proc::Process shot = proc::start({SHOT_TOOL, option});
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 0, 5)) << option;
    EXPECT_EQ(shot.out.rfind("usage: quillmere-shot OUTPUT.png VIEWER", 0), 0U) << shot.out;
    EXPECT_EQ(shot.err, "") << option;
  }
}

// A link is written through, and stays a link; a name as long as a file's
// name may be is taken whole.
TEST_F(ScreenshotTool, WritesThroughALinkAndUnderTheLongestName) {
  const std::string target = scratch + "/target.png";
  const std::string link = scratch + "/link.png";
  std::filesystem::create_symlink("target.png", link);
  const std::string longest = std::string(NAME_MAX - 4, 'a') + ".png";
  for (const std::string& out : {link, scratch + "/" + longest}) {
    proc::Process shot = shoot(displayName, out, {QUILLMERE_BINARY});
    const proc::Reaper reaper{shot};
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 0, 30)) << out << ": " << shot.err;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  harness::Image saved;
  std::string why;
  ASSERT_TRUE(readPng(target, saved, why)) << why;
  EXPECT_EQ(saved.width, DESIGN_WIDTH);
  ASSERT_NO_FATAL_FAILURE(expectScratchHoldsOnly({"target.png", "link.png", longest}));
}

// Processes the viewer leaves in a session of their own, or that the
// viewer's own start-up leaves behind by forking into one, are ended too.
// Each sleeps for a time no other process would, by which it is found.
TEST_F(ScreenshotTool, EndsWhatTheViewerLeftInASessionOfItsOwn) {
  const std::string seconds = "300." + std::to_string(getpid());
  const std::vector<std::string> viewers[] = {
      {"sh", "-c", "setsid sleep " + seconds + " & sleep 0.2"},
      {"setsid", "--fork", "sleep", seconds},
  };
  const auto sleeping = [&] {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream file(entry.path() / "cmdline");
      const std::string cmdline((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
      if (cmdline == "sleep" + std::string(1, '\0') + seconds + std::string(1, '\0')) {
        ++found;
      }
    }
    return found;
  };
  for (const auto& viewer : viewers) {
    proc::Process shot = shoot(displayName, scratch + "/shot.png", viewer);
    const proc::Reaper reaper{shot};
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 1, 10)) << viewer[0];
    EXPECT_EQ(sleeping(), 0) << viewer[0] << " left its sleep running";
  }
}

// A viewer that ends at once, leaving a child of its own, and floods its
// output on the way: the child is ended too, and what the tool keeps of the
// output is bounded, with a line saying how much it left out.
TEST_F(ScreenshotTool, EndsWhatTheViewerLeftAndBoundsItsOutput) {
  const std::string childFile = scratch + "/child";
  proc::Process shot = shoot(
      displayName, scratch + "/shot.png",
      {"sh", "-c", "sleep 300 & echo $! >" + childFile + "; head -c 3000000 /dev/zero; exit 3"});
  const proc::Reaper reaper{shot};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 1, 10));
  EXPECT_EQ(shot.out.size(), proc::OUTPUT_KEPT_BYTES);
  EXPECT_NE(shot.err.find("quillmere-shot: " + std::to_string(3000000 - proc::OUTPUT_KEPT_BYTES) +
                          " more bytes of the viewer's output were left out"),
            std::string::npos)
      << shot.err;
  EXPECT_NE(shot.err.find("the viewer ended (exit status 3) before its window showed a frame"),
            std::string::npos)
      << shot.err;
  pid_t child = 0;
  std::ifstream(childFile) >> child;
  ASSERT_GT(child, 0);
  EXPECT_TRUE(waitUntil([&] { return !stillRuns(child); }, 5)) << "the viewer's child still runs";
}

// A file size limit stands for a full disk: the write fails, the viewer is
// still ended with Esc, and no part of a PNG is left.
TEST_F(ScreenshotTool, LeavesNoPartOfAPngItCannotWriteWhole) {
  const std::string png = scratch + "/shot.png";
  proc::Process shot = shoot(displayName, png, {QUILLMERE_BINARY},
                             {"sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$@\"", "sh"});
  const proc::Reaper reaper{shot};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 1, 30));
  EXPECT_NE(shot.err.find("cannot write " + png + ": File too large"), std::string::npos)
      << shot.err;
  EXPECT_NE(shot.out.find("Press the key Esc to exit."), std::string::npos) << shot.out;
  ASSERT_NO_FATAL_FAILURE(expectScratchHoldsOnly({}));
}

// Another viewer already on the display has the same title; the tool grabs
// and ends only its own, and leaves the other running.
TEST_F(ScreenshotTool, GrabsAndEndsItsOwnViewerBesideAnother) {
  ASSERT_NO_FATAL_FAILURE(launch());
  const std::string png = scratch + "/shot.png";
  proc::Process shot = shoot(displayName, png, {QUILLMERE_BINARY});
  const proc::Reaper reaper{shot};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 0, 30));
  EXPECT_TRUE(std::filesystem::is_regular_file(png));
  EXPECT_FALSE(proc::waitForExit(viewer, 0.5)) << "the other viewer was ended";
  ASSERT_NO_FATAL_FAILURE(escape());
}
