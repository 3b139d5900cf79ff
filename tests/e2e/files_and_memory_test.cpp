// SPDX-License-Identifier: MIT
// What the real process uses besides its window: the files it writes, and
// its memory under valgrind.

#include <filesystem>
#include <string>

#include "e2e/e2e_support.h"

using Files = DisplayTest;

// The viewer's own code reads and writes no files. Mesa keeps a shader cache
// under XDG_CACHE_HOME (or ~/.cache), in a directory whose name changes
// between its releases. Watched here: the working directory the viewer
// starts in, which must stay empty, and the cache home beside it.
TEST_F(Files, NoneAppearInTheWorkingDirectory) {
  const std::filesystem::path dir = scratchDirectory("files");
  ASSERT_FALSE(dir.empty());
  std::filesystem::create_directories(dir / "work");
  ASSERT_NO_FATAL_FAILURE(launch(
      {}, {"env", "-C", (dir / "work").string(), "XDG_CACHE_HOME=" + (dir / "cache").string()}));
  ASSERT_NO_FATAL_FAILURE(escape());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string path = std::filesystem::relative(entry.path(), dir).string();
    if (entry.is_regular_file()) {
      EXPECT_EQ(path.rfind("cache/", 0), 0U) << path;
    }
  }
  std::filesystem::remove_all(dir);
}

using Memcheck = DisplayTest;

// Our code allocates nothing and runs whole under the sanitizers elsewhere;
// this checks the real process, with the real toolkit and driver, once.
TEST_F(Memcheck, ATurnAndEscRunWithoutMemoryErrors) {
  if (std::string(VALGRIND).empty()) {
    GTEST_SKIP() << "valgrind is not installed";
  }
  const std::string suppressions = "--suppressions=" VALGRIND_SUPPRESSIONS;
  const std::vector<std::string> valgrind = {VALGRIND,
                                             "--error-exitcode=97",
                                             "--keep-debuginfo=yes",
                                             "--leak-check=full",
                                             "--errors-for-leak-kinds=definite",
                                             suppressions};
  ASSERT_NO_FATAL_FAILURE(launch({}, valgrind, 300));
  pressAndWaitForChange(XK_x, first);
  ASSERT_NO_FATAL_FAILURE(escape(XK_Escape, 0, 300));
}
