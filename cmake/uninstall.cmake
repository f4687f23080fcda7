# Removes the files that "cmake --install" listed in install_manifest.txt.
# Only those files go: directories are left, because the install may have
# found them there already (/usr/local/bin). The manifest names the files
# without DESTDIR, so the same DESTDIR must be set as for the install.
#
#   [DESTDIR=...] cmake -DOVARN_MANIFEST=<build>/install_manifest.txt -P uninstall.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT OVARN_MANIFEST OR NOT EXISTS "${OVARN_MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: no install manifest at \"${OVARN_MANIFEST}\" "
                      "(run cmake --install first)")
endif()

file(STRINGS "${OVARN_MANIFEST}" installed_files)
set(missing 0)
foreach(listed IN LISTS installed_files)
  set(installed "$ENV{DESTDIR}${listed}")
  if(IS_SYMLINK "${installed}" OR EXISTS "${installed}")
    message(STATUS "Removing ${installed}")
    file(REMOVE "${installed}")
    if(EXISTS "${installed}")
      message(FATAL_ERROR "Could not remove ${installed}")
    endif()
  else()
    message(STATUS "Already gone: ${installed}")
    math(EXPR missing "${missing} + 1")
  endif()
endforeach()
if(missing GREATER 0)
  message(STATUS "${missing} file(s) of the manifest were not there")
endif()
