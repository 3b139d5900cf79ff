// SPDX-License-Identifier: MIT
// --help and --version: the answers a shell user expects of any command,
// given before GLUT opens a display.
#include "app/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef QUILLMERE_VERSION
#error "QUILLMERE_VERSION must be the package's version"
#endif

static const char* const USAGE =
    "Usage: quillmere [TOOLKIT-OPTION]...\n"
    "       quillmere --help | -h | --version\n"
    "Shows a striped floor, turned by the view angle, and a map with the\n"
    "60-degree view cone that points along it.\n"
    "\n"
    "Keys:\n"
    "  x, X  turn the view by +5 degrees\n"
    "  z, Z  turn the view by -5 degrees\n"
    "  Esc   close the window and exit\n"
    "\n"
    "Toolkit options, read by GLUT:\n"
    "  -display NAME    open the window on the X display NAME\n"
    "  -iconic          ask the window manager to show the window as an icon first\n"
    "  -sync, -gldebug, -direct\n"
    "                   accepted and left to GLUT\n"
    "  -indirect        indirect rendering, which X servers refuse unless started\n"
    "                   with +iglx\n"
    "  -geometry WxH+X+Y\n"
    "                   accepted; the window is still 600 x 207 at (0, 0)\n"
    "\n"
    "The exit statuses are described in quillmere(1), under EXIT STATUS.\n";

// GLUT's options that take the next argument as their value.
static bool takesValue(const char* arg) {
  return std::strcmp(arg, "-display") == 0 || std::strcmp(arg, "-geometry") == 0;
}

CommandLineRequest commandLineRequest(int argc, const char* const* argv) {
  for (int k = 1; k < argc; ++k) {
    const char* arg = argv[k];  // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic): C's argv
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      return CommandLineRequest::ShowHelp;
    }
    if (std::strcmp(arg, "--version") == 0) {
      return CommandLineRequest::ShowVersion;
    }
    if (takesValue(arg)) {
      ++k;
    }
  }
  return CommandLineRequest::RunViewer;
}

int answerCommandLine(CommandLineRequest request) {
  switch (request) {
    case CommandLineRequest::ShowHelp:
      fputs(USAGE, stdout);
      break;
    case CommandLineRequest::ShowVersion:
      printf("quillmere %s\n", QUILLMERE_VERSION);
      break;
    case CommandLineRequest::RunViewer:
      return 0;  // nothing to answer: the viewer runs instead
  }
  // Unlike the viewer's instruction lines, this text is the whole answer:
  // a full disk or a closed output must not pass for success.
  if (fflush(stdout) != 0 || ferror(stdout) != 0) {
    fprintf(stderr, "quillmere: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
