// SPDX-License-Identifier: MIT
// make run in a tree of its own, as a careless user meets it: a source that
// does not compile, two runs at once, and a clone or build directory that is
// not the user's. Each tree is a copy of this one in the test's scratch
// directory, built there without installing anything and without a display.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
class MakeRunInATree : public PrivateServer {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PrivateServer::SetUp());
    tree = scratch + "/tree";
    std::filesystem::create_directories(tree);
    proc::Process copy = proc::start({QUILLMERE_SOURCE_DIR "/scripts/copy-tree.sh", tree});
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(copy, 0, 60));
    // The user "nobody" may read it, as anyone may read a clone.
    chmod(scratch.c_str(), 0755);
  }
  // make run in the tree, installing nothing, with no display.
  proc::Process run(bool asOrdinary = false) const {
    std::vector<std::string> command = {"env", "-u", "DISPLAY", tree + "/scripts/run.sh",
                                        "--no-install"};
    return proc::start(asOrdinary ? asOrdinaryUser(command) : command);
  }
  // What an ordinary user is called in make run's advice.
  static std::string ordinaryUser() {
    const passwd* user = getpwuid(geteuid() == 0 ? 65534 : geteuid());
    return user != nullptr ? user->pw_name : "";
  }
  // Keeps the user out of `dir`: it is root's, or when the tests do not run
  // as root, it is made read-only.
  static void notTheUsers(const std::string& dir) {
    if (geteuid() != 0) {
      chmod(dir.c_str(), 0555);
    }
  }
  // Expects make run to stop at once with the one line `expected`.
  static void expectRefusal(proc::Process& p, const std::string& expected) {
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 1, 10));
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, expected);
  }
  std::string tree;
};
}  // namespace

TEST_F(MakeRunInATree, ShowsTheCompilersMessagesWhenTheBuildFails) {
  std::ofstream(tree + "/src/render/scene.cpp", std::ios::app) << "int unfinished(\n";
  proc::Process p = run();
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 1, 120));
  EXPECT_NE(p.err.find("scene.cpp"), std::string::npos) << p.err;
  EXPECT_NE(p.err.find("error:"), std::string::npos) << p.err;
  EXPECT_EQ(p.err.find("] Building"), std::string::npos) << "progress lines: " << p.err;
  const std::string last = "make run: the build failed; the compiler's messages are above.\n";
  ASSERT_GE(p.err.size(), last.size());
  EXPECT_EQ(p.err.substr(p.err.size() - last.size()), last);
}

TEST_F(MakeRunInATree, TwoRunsAtOnceTakeTurnsAndBothSucceed) {
  proc::Process first = run();
  proc::Process second = run();
  const proc::Reaper firstReaper{first};
  const proc::Reaper secondReaper{second};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(first, 0, 180));
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(second, 0, 180));
  const std::string both = first.out + second.out;
  const std::string waiting = "Another make run is building in this tree; waiting for it";
  EXPECT_NE(both.find(waiting), std::string::npos) << both;
  EXPECT_EQ(std::count(both.begin(), both.end(), '\n'),
            2 * 4 + 1)  // each: no display, two instructions, saved; one waited
      << both;
  EXPECT_GT(std::filesystem::file_size(tree + "/build/quillmere.png"), 0U);
}

// A fresh clone that is not the user's: make run names the directory it
// cannot create its build directory in, and the command that makes it theirs.
TEST_F(MakeRunInATree, NamesTheCloneAnOrdinaryUserCannotWrite) {
  notTheUsers(tree);
  proc::Process p = run(true);
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectRefusal(p, "make run cannot write its build directory " + tree +
                                               "/build/run (Permission denied): make " + tree +
                                               " yours (for example, sudo chown -R " +
                                               ordinaryUser() + ": " + tree +
                                               "), then run make run again.\n"));
  chmod(tree.c_str(), 0755);  // so that the scratch directory can be removed
}

// The build directory is not the user's, though the tree below it is: the
// screenshot and the lock go there, so make run says so before it builds.
TEST_F(MakeRunInATree, NamesABuildDirectoryAnOrdinaryUserCannotWrite) {
  const std::string build = tree + "/build";
  std::filesystem::create_directories(build + "/run");
  if (geteuid() == 0) {
    ASSERT_EQ(chown((build + "/run").c_str(), 65534, 65534), 0);
  }
  notTheUsers(build);
  proc::Process p = run(true);
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectRefusal(
      p, "make run cannot write its build directory " + build + " (Permission denied): make " +
             build + " yours (for example, sudo chown -R " + ordinaryUser() + ": " + build +
             "), then run make run again.\n"));
  chmod(build.c_str(), 0755);  // so that the scratch directory can be removed
}
