// SPDX-License-Identifier: MIT
// Process entry point of the quillmere executable.
#include "app/shell.h"

int main(int argc, char** argv) { return viewerMain(argc, argv); }
