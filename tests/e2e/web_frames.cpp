// SPDX-License-Identifier: MIT
// The Linux viewer's frame at every angle a turn reaches, saved for the
// page's browser tests (tests/web/) to compare the browsers' frames with:
// frame-K.png, the view turned K steps by x, in the directory that
// QUILLMERE_FRAMES_DIR names. CTest runs it first, before any browser
// shares the display.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "harness/png.h"

using LinuxFrames = DisplayTest;

TEST_F(LinuxFrames, AreSavedOneFileAnAngle) {
  const char* dir = getenv("QUILLMERE_FRAMES_DIR");
  ASSERT_NE(dir, nullptr) << "QUILLMERE_FRAMES_DIR names no directory";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::vector<harness::Image> frames = turnFrames();
  ASSERT_EQ(frames.size(), static_cast<size_t>(TURN_STEPS));
  for (size_t k = 0; k < frames.size(); ++k) {
    const std::string path = std::string(dir) + "/frame-" + std::to_string(k) + ".png";
    ASSERT_EQ(writePng(path, frames[k].width, frames[k].height, frames[k].rgb), 0) << path;
  }
}
