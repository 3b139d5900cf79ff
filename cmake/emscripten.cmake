# SPDX-License-Identifier: MIT
# The web build with Debian's Emscripten: its own CMake platform file, and
# node as the emulator that runs the tests. Emscripten's JavaScript tools
# run under node and need Debian's node-acorn, in Debian's directory of
# node modules, which a node from elsewhere does not search; every compile
# and link is told where it is. Emscripten's cache is the package's own,
# built once and frozen: it is never set here.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(QUILLMERE_NODE_MODULES /usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${QUILLMERE_NODE_MODULES})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${QUILLMERE_NODE_MODULES})
