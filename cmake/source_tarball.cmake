# Writes the source tarball of the commit checked out: every file that git
# tracks, under the folder NAME/, as OUTPUT (NAME.tar.gz). Files marked
# export-ignore in .gitattributes are left out, and so is anything not
# committed. git stamps every file with the commit's time and compresses
# without a time of its own, so the same commit gives the same bytes.
#
#   cmake -DGIT=<git> -DSOURCE_DIR=<source> -DNAME=<name> -DOUTPUT=<file>
#         -P source_tarball.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT GIT OR NOT EXISTS "${SOURCE_DIR}/.git")
  message(FATAL_ERROR "The source tarball is made from a git clone of the project, with git "
                      "installed; ${SOURCE_DIR} is not one")
endif()
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                OUTPUT_VARIABLE changed RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "git status failed in ${SOURCE_DIR}")
endif()
if(NOT changed STREQUAL "")
  message(WARNING "Changes not committed are not in the tarball:\n${changed}")
endif()
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} -c tar.umask=022 archive --format=tar.gz
                        --prefix=${NAME}/ --output=${OUTPUT} HEAD
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "git archive failed (${result})")
endif()
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse HEAD OUTPUT_VARIABLE commit
                OUTPUT_STRIP_TRAILING_WHITESPACE)
message(STATUS "${OUTPUT}: the source of commit ${commit}")
