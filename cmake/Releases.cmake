# SPDX-License-Identifier: MIT
# The releases that debian/changelog lists, read at configure time, for the
# files that name them: the man page's month and year, and the AppStream
# metainfo's <release> list.
#   quillmere_releases(CHANGELOG MONTH RELEASES)
# sets MONTH to the newest entry's month and year ("December 2026") and
# RELEASES to one <release version= date=/> line per entry, newest first.
include_guard(GLOBAL)

function(quillmere_releases changelog month_out releases_out)
  set(months Jan January Feb February Mar March Apr April May May Jun June Jul July
             Aug August Sep September Oct October Nov November Dec December)
  # Each entry opens with "quillmere (VERSION) ..." and closes with its
  # trailer, " -- NAME <ADDRESS>  Tue, 08 Dec 2026 04:00:00 +0000".
  file(STRINGS ${changelog} lines REGEX "^(quillmere \\(| -- )")
  set(releases "")
  set(newest "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^quillmere \\(([^)]+)\\)")
      set(version ${CMAKE_MATCH_1})
    elseif(line MATCHES ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
      set(day ${CMAKE_MATCH_1})
      set(year ${CMAKE_MATCH_3})
      list(FIND months ${CMAKE_MATCH_2} at)
      if(at LESS 0)
        message(FATAL_ERROR "debian/changelog: no month in \"${line}\"")
      endif()
      math(EXPR number "${at} / 2 + 1")
      math(EXPR name_at "${at} + 1")
      list(GET months ${name_at} name)
      if(newest STREQUAL "")
        set(newest "${name} ${year}")
      endif()
      string(LENGTH "${day}" day_length)
      if(day_length EQUAL 1)
        set(day 0${day})
      endif()
      if(number LESS 10)
        set(number 0${number})
      endif()
      string(APPEND releases "    <release version=\"${version}\" date=\"${year}-${number}-${day}\"/>\n")
    endif()
  endforeach()
  set(${month_out} "${newest}" PARENT_SCOPE)
  set(${releases_out} "${releases}" PARENT_SCOPE)
endfunction()
