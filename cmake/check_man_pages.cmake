# Fills in the manual pages for an install under a deep prefix, with a name
# longer than a line can hold, and formats them: groff must not warn.
#
#   cmake -DOVARN_SOURCE_DIR=<man> -DOVARN_OUT_DIR=<dir> -DPROJECT_VERSION=<v>
#         -DGROFF=<groff> -P check_man_pages.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/man_pages.cmake)

if(NOT GROFF)
  message(FATAL_ERROR "groff is missing: install the Debian package groff-base")
endif()

set(prefix "/opt")
foreach(level RANGE 1 20)
  string(APPEND prefix "/level-${level}")
endforeach()
string(APPEND prefix "/a_folder_name_that_is_longer_than_any_line_of_a_manual_page_can_hold_on_a_terminal/stage")
set(OVARN_PROGRAM_PATH "${prefix}/bin/ovarn")
set(OVARN_HELPER_PATH "${prefix}/libexec/ovarnh")
set(OVARN_PAGER_PATH "${prefix}/bin/pr")
ovarn_configure_man_pages(${OVARN_SOURCE_DIR} ${OVARN_OUT_DIR})

foreach(page IN ITEMS ovarn.1 ovarnh.1)
  execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${OVARN_OUT_DIR}/${page}
                  RESULT_VARIABLE result ERROR_VARIABLE warnings)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page} under the prefix ${prefix} (status ${result}):\n${warnings}")
  endif()
endforeach()
file(REMOVE_RECURSE ${OVARN_OUT_DIR})
message(STATUS "manual pages under a deep prefix: no warnings")
