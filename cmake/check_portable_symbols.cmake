# Fails when a program calls one of the functions that only Linux or glibc
# have. A portable build (OVARN_PORTABLE=ON) takes the fallback for each, so
# none may be referenced.
#   cmake -DNM=nm -DPROGRAMS="path/ovarn;path/ovarnh" -P check_portable_symbols.cmake
set(linux_only mremap mallopt getrandom fwrite_unlocked)
set(found "")
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${NM} ${program} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} ${program} failed")
  endif()
  foreach(name IN LISTS linux_only)
    # "U mremap@GLIBC_2.2.5", or "U mremap" in a program linked otherwise.
    if(symbols MATCHES "[ \t]${name}(@[^\n]*)?\n")
      list(APPEND found "${program}: ${name}")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " shown)
  message(FATAL_ERROR "Linux- or glibc-only functions in a portable build:\n  ${shown}")
endif()
list(JOIN linux_only ", " names)
message(STATUS "none of ${names} referenced")
