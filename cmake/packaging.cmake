# Packages: "cpack -G DEB" and "cpack -G RPM" in a build directory, after
# building; the source tarball: the target "dist".
#
# The programs carry their install paths (OVARN_PROGRAM_PATH,
# OVARN_HELPER_PATH) built in, so the package installs under the very prefix
# the build was configured with. A package must be built with
# -DCMAKE_INSTALL_PREFIX=/usr: /usr/local belongs to the local administrator,
# and a package that owned its directories would remove them again (such as
# an empty /usr/local/share/man) when it is removed. cmake/cpack_checks.cmake
# refuses such a package.

include(${CMAKE_CURRENT_LIST_DIR}/package_documents.cmake)

# Whoever builds the packages is named as their maintainer: the default
# address is a placeholder to replace.
set(OVARN_PACKAGE_CONTACT "ovarn packager <packager@ovarn.example.org>" CACHE STRING
    "Name and address of the packages' maintainer, as \"Name <address>\"")

set(CPACK_PACKAGE_NAME "ovarn")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "the ovarn authors")
set(CPACK_PACKAGE_CONTACT "${OVARN_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare text files and directories line by line")
set(CPACK_PACKAGE_DESCRIPTION
    "ovarn compares two text files and prints the changes that turn the first into\n"
    "the second: as a plain listing, an ed script, a reversed or numbered script, a\n"
    "context listing, or the merged text with #ifdef lines. It compares directories\n"
    "entry by entry, optionally recursively and paged through pr. Its helper ovarnh\n"
    "compares files of any size in bounded memory.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
# The same modes in the packages whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The first package of each version.
set(CPACK_RPM_PACKAGE_RELEASE 1)

# The changelogs and the copyright file, which cmake/package_stage.cmake adds
# to the staged install with the manual pages compressed.
set(CPACK_OVARN_DOCUMENTS "${CMAKE_BINARY_DIR}/package")
ovarn_package_changelogs("${PROJECT_SOURCE_DIR}/NEWS.md" "${OVARN_PACKAGE_CONTACT}"
                         "${CPACK_OVARN_DOCUMENTS}/changelog"
                         "${CPACK_OVARN_DOCUMENTS}/rpm-changelog" ${CPACK_RPM_PACKAGE_RELEASE}
                         CPACK_OVARN_NEWS_VERSION)
ovarn_package_copyright("${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_NAME}"
                        "${CPACK_OVARN_DOCUMENTS}/copyright")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PROJECT_SOURCE_DIR}/NEWS.md" "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_OVARN_MANDIR "${CMAKE_INSTALL_MANDIR}")
set(CPACK_OVARN_DOCDIR "${CMAKE_INSTALL_DOCDIR}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/package_stage.cmake")

# The time stamped on every file of a package: SOURCE_DATE_EPOCH when it is
# set (for cpack, or else for CMake), otherwise the time of the commit
# built, or in an unpacked source tarball the time its files carry (that of
# its commit). The build's own time never shows, so two builds of the same
# source give the same package.
set(CPACK_OVARN_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
find_package(Git QUIET)
if(CPACK_OVARN_SOURCE_DATE_EPOCH STREQUAL "")
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE result ERROR_QUIET)
    # Only a clone of this project: a source tarball may be unpacked inside
    # some other repository.
    if(result EQUAL 0 AND top STREQUAL PROJECT_SOURCE_DIR)
      execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                      OUTPUT_VARIABLE CPACK_OVARN_SOURCE_DATE_EPOCH
                      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
  endif()
endif()
if(CPACK_OVARN_SOURCE_DATE_EPOCH STREQUAL "")
  file(TIMESTAMP "${PROJECT_SOURCE_DIR}/CMakeLists.txt" CPACK_OVARN_SOURCE_DATE_EPOCH "%s" UTC)
endif()

set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# pr (coreutils) is essential: no package needs to depend on it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ed, man-db")
# dpkg-shlibdeps (from dpkg-dev) finds the exact C runtime version; without
# it the package names the runtime libraries unversioned.
find_program(OVARN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(OVARN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(OVARN_PROGRAM_LINK_OPTIONS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_LICENSE "BSD-2-Clause")
set(CPACK_RPM_PACKAGE_SUMMARY "Compare text files and directories line by line")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_CHANGELOG_FILE "${CPACK_OVARN_DOCUMENTS}/rpm-changelog")
# The folders that the system's own packages make are not this package's.
foreach(dir IN ITEMS "${CMAKE_INSTALL_MANDIR}" "${CMAKE_INSTALL_MANDIR}/man1"
                     "${CMAKE_INSTALL_DATAROOTDIR}/doc")
  list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION "${CMAKE_INSTALL_PREFIX}/${dir}")
endforeach()
# The packager, and neither the build's host nor its time in the header.
set(CPACK_RPM_SPEC_MORE_DEFINE
    "%define packager ${OVARN_PACKAGE_CONTACT}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")

set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/cpack_checks.cmake")

include(CPack)

# "cmake --build <dir> --target dist" writes <dir>/ovarn-VERSION.tar.gz.
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -DGIT=${GIT_EXECUTABLE} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DNAME=${PROJECT_NAME}-${PROJECT_VERSION}
          -DOUTPUT=${CMAKE_BINARY_DIR}/${PROJECT_NAME}-${PROJECT_VERSION}.tar.gz
          -P ${CMAKE_CURRENT_LIST_DIR}/source_tarball.cmake
  COMMENT "Writing the source tarball ${PROJECT_NAME}-${PROJECT_VERSION}.tar.gz"
  VERBATIM)
