// SPDX-License-Identifier: MIT
// The viewer at a shell prompt: --help, -h and --version answer on standard
// output and exit without a display.
#include <fstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
// Runs the viewer with `option` and no DISPLAY, standard output going to
// `out` (a pipe of ours when empty), and expects it to exit with `status`.
proc::Process answer(const std::string& option, int status, const std::string& out = "") {
  std::string command = "exec env -u DISPLAY " + shellQuoted(QUILLMERE_BINARY) + " " + option;
  if (!out.empty()) {
    command += " >" + out;
  }
  proc::Process p = proc::start({"sh", "-c", command});
  EXPECT_NO_FATAL_FAILURE(expectExitsWith(p, status, 10)) << option;
  return p;
}

// The version of the newest entry in debian/changelog: "quillmere (1.2.3) ...".
std::string changelogVersion() {
  std::ifstream changelog(QUILLMERE_SOURCE_DIR "/debian/changelog");
  std::string line;
  std::getline(changelog, line);
  const size_t open = line.find('(');
  return line.substr(open + 1, line.find(')') - open - 1);
}
}  // namespace

TEST(Prompt, HelpAndVersionAnswerWithoutADisplay) {
  const proc::Process help = answer("--help", 0);
  EXPECT_EQ(help.out.rfind("Usage: quillmere", 0), 0U) << help.out;
  EXPECT_NE(help.out.find("Esc"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("quillmere(1)"), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(answer("-h", 0).out, help.out);

  const proc::Process version = answer("--version", 0);
  EXPECT_EQ(version.out, "quillmere " + changelogVersion() + "\n");
  EXPECT_EQ(version.err, "");
}

TEST(Prompt, AnAnswerThatCannotBeWrittenFails) {
  for (const char* option : {"--help", "--version"}) {
    const proc::Process p = answer(option, 1, "/dev/full");
    EXPECT_EQ(p.err, "quillmere: cannot write to standard output: No space left on device\n");
  }
}

// A reader that has gone before the answer is written ends the program by
// SIGPIPE, without a word, as it ends other commands in a pipeline (a shell
// reports 141); where SIGPIPE is ignored, the write fails, and says so.
TEST(Prompt, AnAnswerToAReaderThatHasGoneEndsItAsOtherCommands) {
  const struct {
    const char* prelude;
    const char* status;
    const char* err;
  } cases[] = {
      {"", "141\n", ""},
      {"trap '' PIPE; ", "1\n", "quillmere: cannot write to standard output: Broken pipe\n"}};
  for (const auto& c : cases) {
    const std::string command = std::string(c.prelude) + "(sleep 0.3; exec env -u DISPLAY " +
                                shellQuoted(QUILLMERE_BINARY) +
                                " --help) | true; echo \"${PIPESTATUS[0]}\"";
    proc::Process p = proc::start({"bash", "-c", command});
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 0, 10)) << command;
    EXPECT_EQ(p.out, c.status) << command;
    EXPECT_EQ(p.err, c.err) << command;
  }
}
