// SPDX-License-Identifier: MIT
// The viewer's own command-line requests, --help and --version, which are
// answered on standard output without a display; everything else on the
// command line is GLUT's.
#pragma once

enum class CommandLineRequest { RunViewer, ShowHelp, ShowVersion };

// What the command line asks for: the first --help, -h or --version among
// the arguments, where it is not the value of GLUT's -display or -geometry;
// RunViewer when there is none.
CommandLineRequest commandLineRequest(int argc, const char* const* argv);

// Prints the usage or the version and returns the exit status: 0, or 1 with
// a message on standard error when standard output cannot take the text.
// RunViewer asks for no answer: nothing is printed, and the status is 0.
int answerCommandLine(CommandLineRequest request);
