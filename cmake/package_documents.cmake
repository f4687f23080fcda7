# The documents the packages carry beside the programs, made from the
# project's own: the changelogs from NEWS.md and the copyright file from
# LICENSE. Included by cmake/packaging.cmake when CMake configures.

# The English abbreviations of a date's weekday and month (Sakamoto's rule
# for the weekday), as changelog dates write them.
function(ovarn_date_names year month day weekday_out month_out)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  list(GET months ${index} month_name)
  set(${weekday_out} ${weekday_name} PARENT_SCOPE)
  set(${month_out} ${month_name} PARENT_SCOPE)
endfunction()

# Reads NEWS.md, whose entries are a heading "## VERSION (YYYY-MM-DD)" and
# items that begin with "- " and go on in indented lines, and writes the
# same entries as a Debian changelog (debian_out) and as the %changelog of an
# RPM (rpm_out, each version with the RPM's release number rpm_release),
# both signed by contact. Sets version_out to the newest entry's version.
function(ovarn_package_changelogs news contact debian_out rpm_out rpm_release version_out)
  file(READ "${news}" text)
  # One list element a line: characters that CMake lists treat specially
  # stand aside until the end.
  string(ASCII 1 semicolon)
  string(ASCII 2 open_bracket)
  string(ASCII 3 close_bracket)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REPLACE "[" "${open_bracket}" text "${text}")
  string(REPLACE "]" "${close_bracket}" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")

  set(debian "")
  set(rpm "")
  set(newest "")
  set(signature "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)$")
      set(version ${CMAKE_MATCH_1})
      set(year ${CMAKE_MATCH_2})
      set(month2 ${CMAKE_MATCH_3})
      set(day2 ${CMAKE_MATCH_4})
      string(REGEX REPLACE "^0" "" month "${month2}")
      string(REGEX REPLACE "^0" "" day "${day2}")
      ovarn_date_names(${year} ${month} ${day} weekday month_name)
      if(signature)
        string(APPEND debian "\n${signature}\n\n")
        string(APPEND rpm "\n")
      endif()
      if(newest STREQUAL "")
        set(newest ${version})
      endif()
      string(APPEND debian "ovarn (${version}) unstable; urgency=medium\n\n")
      string(APPEND rpm "* ${weekday} ${month_name} ${day} ${year} ${contact} - ${version}-${rpm_release}\n")
      set(signature " -- ${contact}  ${weekday}, ${day2} ${month_name} ${year} 00:00:00 +0000")
    elseif(signature AND line MATCHES "^- (.*)$")
      string(APPEND debian "  * ${CMAKE_MATCH_1}\n")
      string(APPEND rpm "- ${CMAKE_MATCH_1}\n")
    elseif(signature AND line MATCHES "^  +(.*)$")
      string(APPEND debian "    ${CMAKE_MATCH_1}\n")
      string(APPEND rpm "  ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(NOT signature)
    message(FATAL_ERROR "${news} holds no entry \"## VERSION (YYYY-MM-DD)\"")
  endif()
  string(APPEND debian "\n${signature}\n")

  foreach(document IN ITEMS debian rpm)
    string(REPLACE "${semicolon}" ";" ${document} "${${document}}")
    string(REPLACE "${open_bracket}" "[" ${document} "${${document}}")
    string(REPLACE "${close_bracket}" "]" ${document} "${${document}}")
  endforeach()
  file(WRITE "${debian_out}" "${debian}")
  file(WRITE "${rpm_out}" "${rpm}")
  set(${version_out} ${newest} PARENT_SCOPE)
endfunction()

# Writes LICENSE as a copyright file in Debian's machine-readable format: its
# copyright line, and its text from the conditions on as the licence.
function(ovarn_package_copyright license name out)
  file(READ "${license}" text)
  if(NOT text MATCHES "Copyright \\(c\\) ([0-9]+), ([^\n]+)\n")
    message(FATAL_ERROR "${license} has no line \"Copyright (c) YEAR, HOLDER\"")
  endif()
  set(holder "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
  string(FIND "${text}" "Redistribution" start)
  string(SUBSTRING "${text}" ${start} -1 terms)
  string(STRIP "${terms}" terms)
  # Each line of the text indented by a blank, an empty line as " .".
  string(REPLACE "\n" "\n " terms " ${terms}")
  string(REPLACE "\n \n" "\n .\n" terms "${terms}")
  file(WRITE "${out}"
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: ${name}\n"
       "\n"
       "Files: *\n"
       "Copyright: ${holder}\n"
       "License: BSD-2-Clause\n"
       "${terms}\n")
endfunction()
