# Shows that a folder taken out of a layer's uses makes its include fail in
# a build tree that was built before, not only in a fresh one. A scratch
# project of two layers, "lower" and "upper" (whose source includes
# lower/lower.h), is configured and built in OVARN_WORK_DIR with upper using
# lower; then lower is taken out of upper's uses, the same tree is
# configured again, and its build must fail on that include.
#
#   cmake -DOVARN_SOURCE_DIR=... -DOVARN_WORK_DIR=... -DOVARN_GENERATOR=...
#         [-DOVARN_MAKE_PROGRAM=...] [-DOVARN_CXX_COMPILER=...] -P check_layers.cmake
set(source ${OVARN_WORK_DIR}/source)
set(build ${OVARN_WORK_DIR}/build)
file(REMOVE_RECURSE ${OVARN_WORK_DIR})
file(MAKE_DIRECTORY ${source}/lower ${source}/upper)
file(WRITE ${source}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(layer_check LANGUAGES CXX)
include(${OVARN_SOURCE_DIR}/cmake/layers.cmake)
set(UPPER_USES lower CACHE STRING \"\")
ovarn_layer(lower lower SOURCES lower.cc)
ovarn_layer(upper upper USES \${UPPER_USES} SOURCES upper.cc)
")
file(WRITE ${source}/lower/lower.h "int lower();\n")
file(WRITE ${source}/lower/lower.cc "#include \"lower/lower.h\"\nint lower() { return 1; }\n")
file(WRITE ${source}/upper/upper.cc "#include \"lower/lower.h\"\nint upper() { return lower(); }\n")

set(configure ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${OVARN_GENERATOR})
if(OVARN_MAKE_PROGRAM)
  list(APPEND configure -DCMAKE_MAKE_PROGRAM=${OVARN_MAKE_PROGRAM})
endif()
if(OVARN_CXX_COMPILER)
  list(APPEND configure -DCMAKE_CXX_COMPILER=${OVARN_CXX_COMPILER})
endif()

function(run expect what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expect STREQUAL "pass" AND NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed:\n${out}")
  elseif(expect STREQUAL "fail" AND status EQUAL 0)
    message(FATAL_ERROR "${what} passed, but should have failed:\n${out}")
  elseif(expect STREQUAL "fail" AND NOT out MATCHES "lower/lower.h")
    message(FATAL_ERROR "${what} failed, but not on the include of lower/lower.h:\n${out}")
  endif()
endfunction()

run(pass "the first configure" ${configure} -DUPPER_USES=lower)
run(pass "the build with lower in upper's uses" ${CMAKE_COMMAND} --build ${build})
run(pass "the configure with lower out of upper's uses" ${configure} -DUPPER_USES=)
run(fail "the build again" ${CMAKE_COMMAND} --build ${build})
message(STATUS "upper's include of lower no longer builds")
