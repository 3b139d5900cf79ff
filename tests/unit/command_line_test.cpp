// SPDX-License-Identifier: MIT
// Which command lines the viewer answers itself and which go to GLUT.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"

namespace {
CommandLineRequest requestOf(std::vector<const char*> args) {
  args.insert(args.begin(), "quillmere");
  return commandLineRequest(static_cast<int>(args.size()), args.data());
}
}  // namespace

TEST(CommandLineRequest, AnswersHelpAndVersionAnywhereExceptAsAToolkitOptionsValue) {
  const struct {
    std::vector<const char*> args;
    CommandLineRequest request;
  } cases[] = {
      {{}, CommandLineRequest::RunViewer},
      {{"--help"}, CommandLineRequest::ShowHelp},
      {{"-h"}, CommandLineRequest::ShowHelp},
      {{"--version"}, CommandLineRequest::ShowVersion},
      {{"-iconic", "--version"}, CommandLineRequest::ShowVersion},
      {{"-geometry", "10x10", "-h"}, CommandLineRequest::ShowHelp},
      // The first one asked for wins.
      {{"--version", "--help"}, CommandLineRequest::ShowVersion},
      {{"-h", "--version"}, CommandLineRequest::ShowHelp},
      // The value of -display or -geometry is GLUT's, whatever it reads.
      {{"-display", "--help"}, CommandLineRequest::RunViewer},
      {{"-geometry", "--version"}, CommandLineRequest::RunViewer},
      // Near misses and a trailing option without its value are GLUT's too.
      {{"--helpme", "-help", "--versions", "-v", "-H"}, CommandLineRequest::RunViewer},
      {{"-display"}, CommandLineRequest::RunViewer},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* a : c.args) {
      line += std::string(" ") + a;
    }
    EXPECT_EQ(requestOf(c.args), c.request) << "quillmere" << line;
  }
}
