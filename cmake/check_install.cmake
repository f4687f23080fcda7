# Installs the build under a DESTDIR, checks that every file landed there and
# nowhere else, then runs the uninstall script with the same DESTDIR and
# checks that it removed exactly those files. Everything happens under the
# given DESTDIR, which is removed at the end.
#
#   cmake -DOVARN_BUILD_DIR=<build> -DOVARN_DESTDIR=<dir> -DOVARN_PREFIX=<prefix>
#         -DOVARN_MANDIR=<mandir> -P check_install.cmake

cmake_minimum_required(VERSION 3.25)

function(run_with_destdir)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${OVARN_DESTDIR} ${ARGN}
                  RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

function(files_under dir out)
  file(GLOB_RECURSE found LIST_DIRECTORIES false "${dir}/*")
  list(SORT found)
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${OVARN_DESTDIR}")
run_with_destdir(${CMAKE_COMMAND} --install ${OVARN_BUILD_DIR})

# The programs and both pages, at their places under the prefix.
set(expected
    "${OVARN_PREFIX}/bin/ovarn"
    "${OVARN_PREFIX}/libexec/ovarnh"
    "${OVARN_PREFIX}/${OVARN_MANDIR}/man1/ovarn.1"
    "${OVARN_PREFIX}/${OVARN_MANDIR}/man1/ovarnh.1")
file(STRINGS "${OVARN_BUILD_DIR}/install_manifest.txt" manifest)
foreach(path IN LISTS expected)
  if(NOT path IN_LIST manifest)
    message(FATAL_ERROR "not in the install manifest: ${path}")
  endif()
endforeach()

# Every listed file is under DESTDIR, and nothing else is.
set(listed_under_destdir "")
foreach(path IN LISTS manifest)
  list(APPEND listed_under_destdir "${OVARN_DESTDIR}${path}")
endforeach()
list(SORT listed_under_destdir)
files_under("${OVARN_DESTDIR}" installed)
if(NOT installed STREQUAL listed_under_destdir)
  message(FATAL_ERROR "installed under DESTDIR:\n  ${installed}\nbut the manifest lists:\n  "
                      "${listed_under_destdir}")
endif()

run_with_destdir(${CMAKE_COMMAND} -DOVARN_MANIFEST=${OVARN_BUILD_DIR}/install_manifest.txt
                 -P ${CMAKE_CURRENT_LIST_DIR}/uninstall.cmake)
files_under("${OVARN_DESTDIR}" left)
if(left)
  message(FATAL_ERROR "left behind by the uninstall: ${left}")
endif()
file(REMOVE_RECURSE "${OVARN_DESTDIR}")
message(STATUS "install under DESTDIR and uninstall: ok")
