# Run by cpack once the install is staged for a package (CPACK_PRE_BUILD_SCRIPTS):
# adds what a distribution's package holds beyond the install itself. The
# manual pages are compressed, and the documentation folder gets the
# copyright file and, in a Debian package, the compressed changelog (an
# RPM carries its changelog in its header). gzip -n leaves out the name and
# time, so that the bytes depend on the content alone.

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")

function(ovarn_gzip file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed (${result}) on ${file}")
  endif()
endfunction()

file(GLOB pages "${root}/${CPACK_OVARN_MANDIR}/man*/*.[1-9]")
foreach(page IN LISTS pages)
  ovarn_gzip("${page}")
endforeach()

set(docdir "${root}/${CPACK_OVARN_DOCDIR}")
set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(MAKE_DIRECTORY "${docdir}")
# The folders it made get the same modes whatever the umask.
cmake_path(GET docdir PARENT_PATH parent)
file(CHMOD "${docdir}" "${parent}"
     PERMISSIONS ${read_only} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
file(COPY "${CPACK_OVARN_DOCUMENTS}/copyright" DESTINATION "${docdir}" FILE_PERMISSIONS ${read_only})
if(CPACK_GENERATOR STREQUAL "DEB")
  file(COPY "${CPACK_OVARN_DOCUMENTS}/changelog" DESTINATION "${docdir}" FILE_PERMISSIONS ${read_only})
  ovarn_gzip("${docdir}/changelog")
endif()
