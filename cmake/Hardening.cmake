# SPDX-License-Identifier: MIT
# Debian's hardening flags for a build outside the Debian package, which
# gets them from dpkg-buildflags instead: each flag is used only where the
# toolchain takes it, as CMake's own flag checks find, so that another
# compiler, linker or target (MinGW's, whose linker has no -z relro) still
# builds the viewer. make run configures from scratch, so one program built
# with every flag answers for the usual toolchain; only a toolchain that
# refuses it is asked flag by flag.
#   quillmere_harden(AS_NEEDED)  adds the flags to every target (with
#     QUILLMERE_HARDENING), and sets AS_NEEDED to whether the linker takes
#     --as-needed, which is no hardening but is checked in the same program
include_guard(GLOBAL)
include(CheckCompilerFlag)
include(CheckLinkerFlag)

# Sets OUT to whether a program optimised as fortification needs, compiled
# with FLAGS and linked with LINK, passes check_KIND_flag (compiler or
# linker). Cached under the flags it tried, so that a tree configured again
# with others checks them rather than reusing an answer about different ones.
function(quillmere_takes out kind flags link)
  set(CMAKE_REQUIRED_FLAGS -O2)
  set(CMAKE_REQUIRED_LINK_OPTIONS ${link})
  set(CMAKE_REQUIRED_QUIET ON)
  string(MD5 key "${kind}|${flags}|${link}")
  cmake_language(CALL check_${kind}_flag CXX "${flags}" QUILLMERE_TAKES_${key})
  set(${out} ${QUILLMERE_TAKES_${key}} PARENT_SCOPE)
endfunction()

# Sets OUT to those of FLAGS that the toolchain takes alone, checked by
# check_KIND_flag with the list LINK.
function(quillmere_each_taken out kind flags link)
  set(taken "")
  foreach(flag IN LISTS flags)
    quillmere_takes(takes ${kind} "${flag}" "${link}")
    if(takes)
      list(APPEND taken ${flag})
    endif()
  endforeach()
  set(${out} ${taken} PARENT_SCOPE)
endfunction()

function(quillmere_harden as_needed)
  set(compile "")
  set(link LINKER:--as-needed)
  # None applies to WebAssembly, which keeps code outside the memory a
  # program can write and has no dynamic loader or relocations to protect.
  # Emscripten's C library has no fortified functions, and Debian's has no
  # guard value for the stack protector's canaries to link with.
  if(QUILLMERE_HARDENING AND NOT EMSCRIPTEN)
    set(compile
        -fstack-protector-strong  # canaries in functions with arrays on the stack
        -fPIE                     # code for a position-independent executable
        -D_FORTIFY_SOURCE=2)      # the C library checks the sizes it can see
    if(CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")  # the environment's level wins
      list(REMOVE_ITEM compile -D_FORTIFY_SOURCE=2)
    endif()
    set(link
        -fstack-protector-strong  # MinGW's GCC links the canaries' runtime only when told
        -pie                      # an executable that loads at a random address
        LINKER:-z,relro,-z,now    # relocations resolved at start-up, then read-only
        ${link})
  endif()
  # One program with every flag; where it does not build, each flag alone,
  # link flags first, so that each compile flag is checked with the runtime
  # they bring (MinGW's libssp, which fortification needs too).
  quillmere_takes(all compiler "${compile}" "${link}")
  if(NOT all)
    quillmere_each_taken(link linker "${link}" "")
    quillmere_each_taken(compile compiler "${compile}" "${link}")
  endif()
  set(${as_needed} OFF PARENT_SCOPE)
  if("LINKER:--as-needed" IN_LIST link)
    set(${as_needed} ON PARENT_SCOPE)
    list(REMOVE_ITEM link LINKER:--as-needed)
  endif()
  # Fortification needs the optimiser, and -pie is for executables alone;
  # the Windows build's resource compiler takes no compile flags.
  list(TRANSFORM compile REPLACE "^(-D_FORTIFY_SOURCE=2)$" "$<$<NOT:$<CONFIG:Debug>>:\\1>")
  list(TRANSFORM link REPLACE "^(-pie)$" "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:\\1>")
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${compile}>")
  add_link_options(${link})
endfunction()
