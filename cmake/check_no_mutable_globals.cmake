# Fails when a library of the main program defines a mutable object at
# namespace or file scope (in a data or bss section) other than those listed
# below: one comparison's state lives in records that main hands on by
# reference.
#   cmake -DNM=nm -DLIBRARIES="libovarn_base.a;..." -P check_no_mutable_globals.cmake
set(allowed
  # The exit path's record: the exit status and the spool path that the
  # signal handlers read, wherever the run stops.
  "^run_exit$"
  # The processor probes, asked once and kept, and their guards.
  "cpu_has\\(cpu_feature\\)::"
  # The table allocator's spare mappings, process-wide as malloc's own free
  # lists are: an allocator's cache, which no comparison's data passes
  # through, given back whenever no mapped table is live.
  "^\\(anonymous namespace\\)::pool$"
  # What the compiler and the sanitizers add.
  "^DW\\.ref\\."
  "^__(odr_)?asan"
  "^__(ubsan|sancov|llvm)")
if(NOT NM OR NOT EXISTS "${NM}")
  message("skipped: no nm")
  return()
endif()
set(found "")
foreach(library IN LISTS LIBRARIES)
  if(library STREQUAL "")
    continue()
  endif()
  execute_process(COMMAND ${NM} -C --defined-only -f sysv ${library}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} ${library} failed")
  endif()
  string(REPLACE ";" "\\;" symbols "${symbols}")
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    # name |value |class |type |size |line |section
    if(NOT line MATCHES "^([^|]*)\\|[^|]*\\|[^|]*\\|([^|]*)\\|[^|]*\\|[^|]*\\|(.*)$")
      continue()
    endif()
    string(STRIP "${CMAKE_MATCH_1}" name)
    string(STRIP "${CMAKE_MATCH_2}" type)
    string(STRIP "${CMAKE_MATCH_3}" section)
    if(NOT section MATCHES "^\\.t?(data|bss)(\\.|$)" OR section MATCHES "^\\.data\\.rel\\.ro")
      continue()
    endif()
    if(NOT type STREQUAL "OBJECT" AND NOT type STREQUAL "TLS")
      continue()
    endif()
    set(known FALSE)
    foreach(pattern IN LISTS allowed)
      if(name MATCHES "${pattern}")
        set(known TRUE)
      endif()
    endforeach()
    if(NOT known)
      get_filename_component(library_name ${library} NAME)
      list(APPEND found "${library_name}: ${name} (${section})")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " shown)
  message(FATAL_ERROR "mutable objects at namespace or file scope:\n  ${shown}")
endif()
message(STATUS "no mutable object beyond the exit record, the processor probes and the spare tables")
