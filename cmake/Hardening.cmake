# SPDX-License-Identifier: MIT
# Debian's hardening flags for a build outside the Debian package, which gets
# them from dpkg-buildflags instead: each flag is used only where the
# toolchain takes it, so that another compiler, linker or target (MinGW's,
# whose linker has no -z relro) still builds the viewer. The same check
# serves any other flag a toolchain might refuse.
#
#   quillmere_hardening_flags(COMPILE LINK)   the flags, as two lists
#   quillmere_flags_taken(COMPILE LINK WANTED_COMPILE WANTED_LINK)
#                                             those the toolchain takes
#   quillmere_add_flags(COMPILE LINK)         adds them to every target
#
# Every check compiles and links a program, about a tenth of a second, and
# make run configures from scratch: so one program built with every flag
# answers for the usual toolchain, and only a toolchain that refuses it is
# asked flag by flag. Each answer is cached under a name made from the flags
# it tested, so a tree that is configured again with other flags checks them
# again rather than reusing an answer about different ones.
include_guard(GLOBAL)
include(CheckCXXSourceCompiles)

set(QUILLMERE_HARDENING_COMPILE_FLAGS
    -fstack-protector-strong  # canaries in functions with arrays on the stack
    -fPIE                     # code for a position-independent executable
    -D_FORTIFY_SOURCE=2)      # the C library checks the sizes it can see
set(QUILLMERE_HARDENING_LINK_FLAGS
    -fstack-protector-strong  # MinGW's GCC links the canaries' runtime only when told
    -pie                      # an executable that loads at a random address
    LINKER:-z,relro,-z,now)   # relocations resolved at start-up, then read-only

# A call the fortified C library checks, so that a runtime it needs is linked.
set(quillmere_hardening_probe [[
#include <cstring>
int main(int argc, char** argv) {
  char copy[8];
  std::strncpy(copy, argv[0], sizeof copy - static_cast<unsigned>(argc > 1));
  return copy[0] == 0;
}
]])

# Sets OUT to whether a program compiled with the list COMPILE and linked with
# the list LINK builds. Optimised, as fortification works only then.
function(quillmere_builds_with out compile link)
  string(MD5 key "${compile}|${link}")
  string(SUBSTRING "${key}" 0 12 key)
  list(JOIN compile " " flags)
  set(CMAKE_REQUIRED_FLAGS "-O2 ${flags}")
  set(CMAKE_REQUIRED_LINK_OPTIONS ${link})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${quillmere_hardening_probe}" QUILLMERE_BUILDS_WITH_${key})
  set(${out} ${QUILLMERE_BUILDS_WITH_${key}} PARENT_SCOPE)
endfunction()

# Sets COMPILE and LINK to the hardening flags; a fortification level given
# in the environment wins over ours.
function(quillmere_hardening_flags compile link)
  set(flags ${QUILLMERE_HARDENING_COMPILE_FLAGS})
  set(link_flags ${QUILLMERE_HARDENING_LINK_FLAGS})
  if(CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    list(REMOVE_ITEM flags -D_FORTIFY_SOURCE=2)
  endif()
  if(EMSCRIPTEN)
    # WebAssembly keeps code outside the memory a program can write, and has
    # no dynamic loader and no relocations to protect; Emscripten's C library
    # has no fortified functions. Of the flags, only the stack protector
    # means anything there: it guards arrays on the stack in linear memory.
    # (wasm-ld takes -z relro,now without a word, and ignores it.)
    set(flags -fstack-protector-strong)
    set(link_flags -fstack-protector-strong)
  endif()
  set(${compile} ${flags} PARENT_SCOPE)
  set(${link} ${link_flags} PARENT_SCOPE)
endfunction()

# Sets OUT to those of FLAGS, of KIND COMPILE or LINK, that build, each
# checked after those taken before it and with the lists COMPILE and LINK.
function(quillmere_each_taken out kind flags compile link)
  set(taken "")
  foreach(flag IN LISTS flags)
    set(with_COMPILE ${compile})
    set(with_LINK ${link})
    list(APPEND with_${kind} ${taken} ${flag})
    quillmere_builds_with(takes "${with_COMPILE}" "${with_LINK}")
    if(takes)
      list(APPEND taken ${flag})
    endif()
  endforeach()
  set(${out} ${taken} PARENT_SCOPE)
endfunction()

# Sets OUT_COMPILE and OUT_LINK to those of the lists COMPILE and LINK that
# the toolchain takes: all of them when one program builds with them all,
# else each checked with those taken before it. Link flags come first, so
# that each compile flag is checked with the runtime the accepted link flags
# bring (MinGW's libssp, which fortification needs too).
function(quillmere_flags_taken out_compile out_link compile link)
  quillmere_builds_with(all "${compile}" "${link}")
  if(NOT all)
    quillmere_each_taken(link LINK "${link}" "" "")
    quillmere_each_taken(compile COMPILE "${compile}" "" "${link}")
  endif()
  set(${out_compile} ${compile} PARENT_SCOPE)
  set(${out_link} ${link} PARENT_SCOPE)
endfunction()

# Adds compile flags to every C++ compile (the Windows build's resource
# compiler takes none) and link flags to every link; fortification needs the
# optimiser, and -pie is for executables alone.
function(quillmere_add_flags compile link)
  foreach(flag IN LISTS compile)
    if(flag STREQUAL "-D_FORTIFY_SOURCE=2")
      add_compile_options($<$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<CONFIG:Debug>>>:${flag}>)
    else()
      add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${flag}>)
    endif()
  endforeach()
  foreach(flag IN LISTS link)
    if(flag STREQUAL "-pie")
      add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${flag}>)
    else()
      add_link_options(${flag})
    endif()
  endforeach()
endfunction()
