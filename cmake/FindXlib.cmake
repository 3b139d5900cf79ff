# SPDX-License-Identifier: MIT
# Finds Xlib alone and gives it as the imported target Xlib::Xlib.
# CMake's FindX11 probes every X library with compile checks, which costs
# make run about two seconds of configuring; the viewer, the screenshot tool,
# the tests and the benchmarks need only libX11.
find_path(Xlib_INCLUDE_DIR X11/Xlib.h)
find_library(Xlib_LIBRARY X11)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Xlib REQUIRED_VARS Xlib_LIBRARY Xlib_INCLUDE_DIR)
if(Xlib_FOUND AND NOT TARGET Xlib::Xlib)
  add_library(Xlib::Xlib UNKNOWN IMPORTED)
  set_target_properties(Xlib::Xlib PROPERTIES IMPORTED_LOCATION "${Xlib_LIBRARY}"
                                              INTERFACE_INCLUDE_DIRECTORIES "${Xlib_INCLUDE_DIR}")
endif()
mark_as_advanced(Xlib_INCLUDE_DIR Xlib_LIBRARY)
