// SPDX-License-Identifier: MIT
// make run in a tree of its own, as a careless user meets it: a source that
// does not compile, two runs at once, and a clone or build directory that is
// not the user's. Each tree is a copy of this one in the test's scratch
// directory, built there without installing anything and without a display.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

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
  // Gives `path` to the ordinary user, which it already is when the tests
  // do not run as root.
  static void theUsers(const std::string& path) {
    if (geteuid() == 0) {
      ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0) << path;
    }
  }
  // A build directory of the ordinary user's, with the lock that another
  // user's make run left in it: root's, or read-only when the tests do not
  // run as root.
  void leaveAnotherUsersLock() const {
    const std::string build = tree + "/build";
    std::filesystem::create_directories(build + "/run");
    ASSERT_NO_FATAL_FAILURE(theUsers(build + "/run"));
    ASSERT_NO_FATAL_FAILURE(theUsers(build));
    std::ofstream(build + "/.make-run.lock") << "";
    if (geteuid() != 0) {
      chmod((build + "/.make-run.lock").c_str(), 0444);
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

// What an ordinary user cannot write, and the advice that mends it, for a
// directory `dir` that make run or make package writes in or below: one
// that is root's (the tests run as root), or one made read-only (they do
// not).
std::string reasonAndMend(const std::string& dir) {
  if (geteuid() == 0) {
    return "(owned by root): make " + dir + " yours (for example, sudo chown -R nobody: " + dir +
           ")";
  }
  return "(Permission denied): make " + dir + " writable (for example, chmod -R u+w " + dir + ")";
}

// Everywhere make run and make package write, each way it can be blocked
// gets one line that names the place, the cause and what mends it, before
// anything is built: another user's directories and files (or read-only
// ones), something in the way of the lock, a read-only mount, and a
// temporary directory that is missing or not the user's.
TEST_F(MakeRunInATree, NamesWhatItCannotWriteAndHowToMendIt) {
  const std::string build = tree + "/build";
  const std::string lock = build + "/.make-run.lock";
  const std::vector<std::string> makeRun = {"env", "-u", "DISPLAY", tree + "/scripts/run.sh",
                                            "--no-install"};
  // A read-only bind mount of the tree, in a mount namespace of its own
  // (and, for a user who is not root, a user namespace too), whose mounts
  // are private, so that the bind mount never reaches this one. Where the
  // root is no mount point and its propagation cannot be changed (a
  // chroot), the mounts are private already.
  const std::string user = geteuid() == 0 ? "" : "--user --map-root-user ";
  const std::vector<std::string> readOnly = {
      "sh", "-c",
      "propagation=private; mountpoint -q / || propagation=unchanged; exec unshare " + user +
          "--mount --propagation $propagation sh -c 'mount --bind \"$0\" \"$0\" && "
          "mount -o remount,bind,ro \"$0\" && exec env -u DISPLAY \"$0/scripts/run.sh\" "
          "--no-install' \"$0\"",
      tree};
  const struct {
    const char* name;
    std::function<void()> setUp;
    std::vector<std::string> command;
    std::string expected;
  } cases[] = {
      {"a clone that is not theirs", [&] { notTheUsers(tree); }, asOrdinaryUser(makeRun),
       "make run cannot write its build directory " + tree + "/build/run " + reasonAndMend(tree) +
           ", then run make run again.\n"},
      {"a build directory that is not theirs, over one that is",
       [&] {
         std::filesystem::create_directories(build + "/run");
         ASSERT_NO_FATAL_FAILURE(theUsers(build + "/run"));
         notTheUsers(build);
       },
       asOrdinaryUser(makeRun),
       "make run cannot write its build directory " + build + " " + reasonAndMend(build) +
           ", then run make run again.\n"},
      {"a lock that is not theirs", [&] { leaveAnotherUsersLock(); }, asOrdinaryUser(makeRun),
       "make run cannot write its lock file " + lock + " " + reasonAndMend(build) +
           ", then run make run again.\n"},
      {"a directory where the lock goes", [&] { std::filesystem::create_directories(lock); },
       makeRun,
       "make run cannot write its lock file " + lock + " (something in the way): remove " + lock +
           ", which is in the way, then run make run again.\n"},
      {"a link to nothing where the lock goes",
       [&] {
         std::filesystem::create_directories(build);
         std::filesystem::create_symlink("gone", lock);
       },
       makeRun,
       "make run cannot write its lock file " + lock + " (something in the way): remove " + lock +
           ", which is in the way, then run make run again.\n"},
      {"a clone on a read-only mount", [] {}, readOnly,
       "make run cannot write its build directory " + build +
           "/run (read-only file system): clone the repository to a directory you can write, "
           "then run make run again.\n"},
      {"a missing temporary directory",
       [] {},
       {"env", "-u", "DISPLAY", "TMPDIR=" + tree + "/none", tree + "/scripts/run.sh",
        "--no-install"},
       "make run cannot write its temporary files in " + tree +
           "/none (No such file or directory): set TMPDIR to a directory you can write, or unset "
           "it, then run make run again.\n"},
      {"a temporary directory that is not theirs", [&] { notTheUsers(tree); },
       asOrdinaryUser(
           {"env", "-u", "DISPLAY", "TMPDIR=" + tree, tree + "/scripts/run.sh", "--no-install"}),
       "make run cannot write its temporary files in " + tree + " " +
           reasonAndMend(tree).substr(0, reasonAndMend(tree).find(')') + 1) +
           ": set TMPDIR to a directory you can write, or unset it, then run make run again.\n"},
      {"make package in a build directory that is not theirs",
       [&] {
         std::filesystem::create_directories(build);
         notTheUsers(build);
       },
       asOrdinaryUser({tree + "/scripts/package.sh", build}),
       "make package cannot write its output directory " + build + " " + reasonAndMend(build) +
           ", then run make package again.\n"},
  };
  for (const auto& c : cases) {
    c.setUp();
    proc::Process p = proc::start(c.command);
    const proc::Reaper reaper{p};
    ASSERT_NO_FATAL_FAILURE(expectRefusal(p, c.expected)) << c.name;
    // Undone, for the next case and for the scratch directory's removal.
    chmod(tree.c_str(), 0755);
    chmod(build.c_str(), 0755);
    std::error_code ignored;
    std::filesystem::remove_all(build, ignored);
  }
}

// The advice for a lock left by another user's make run mends it: with the
// build directory made theirs, make run builds and shows the viewer.
TEST_F(MakeRunInATree, FollowingTheAdviceForAnotherUsersLockMendsIt) {
  ASSERT_NO_FATAL_FAILURE(leaveAnotherUsersLock());
  proc::Process refused = run(true);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(refused, 1, 10));
  // The command the advice names, in parentheses after "for example, ".
  const size_t from = refused.err.find("for example, ") + 13;
  std::string mend = refused.err.substr(from, refused.err.find("),", from) - from);
  if (mend.rfind("sudo ", 0) == 0) {
    mend = mend.substr(5);  // the tests already run as root
  }
  proc::Process mending = proc::start({"sh", "-c", mend});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(mending, 0, 10)) << mend;
  proc::Process p = run(true);
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 0, 180)) << p.err;
  EXPECT_GT(std::filesystem::file_size(tree + "/build/quillmere.png"), 0U);
}

// A clone moved after it was built: its build tree was configured for the
// old path, and is configured afresh at the new one.
TEST_F(MakeRunInATree, AMovedCloneConfiguresAfresh) {
  proc::Process configured = proc::start({tree + "/scripts/configure.sh", "run"});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(configured, 0, 60)) << configured.err;
  const std::string moved = scratch + "/moved";
  std::filesystem::rename(tree, moved);
  proc::Process p = proc::start({moved + "/scripts/configure.sh", "run"});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 0, 60)) << p.out << p.err;
}

// Ctrl-C while make run works ends it quietly, with no advice about what
// it was interrupted in.
TEST_F(MakeRunInATree, CtrlCEndsItWithoutAWord) {
  proc::Process p = run();
  const proc::Reaper reaper{p};
  ASSERT_TRUE(
      waitUntil([&] { return std::filesystem::exists(tree + "/build/run/make-run.log"); }, 30));
  kill(-p.pid, SIGINT);
  ASSERT_TRUE(proc::waitForExit(p, 30));
  EXPECT_TRUE(WIFSIGNALED(p.status) || WEXITSTATUS(p.status) == 130) << p.status;
  EXPECT_EQ(p.err.find("make run:"), std::string::npos) << p.err;
}

// make -f CLONE/Makefile from another directory acts in the clone, as
// make -C does.
TEST_F(MakeRunInATree, AMakefileNamedFromElsewhereActsInItsClone) {
  std::filesystem::create_directories(tree + "/build/stale");
  proc::Process p = proc::start({"env", "-C", scratch, "make", "-f", tree + "/Makefile", "clean"});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 0, 30)) << p.err;
  EXPECT_FALSE(std::filesystem::exists(tree + "/build/stale"));
}
