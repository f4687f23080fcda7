# Debian package: "cpack -G DEB" in a build directory, after building.
#
# The programs carry their install paths (OVARN_PROGRAM_PATH,
# OVARN_HELPER_PATH) built in, so the package installs under the very prefix
# the build was configured with. A package must be built with
# -DCMAKE_INSTALL_PREFIX=/usr: /usr/local belongs to the local administrator,
# and a package that owned its directories would remove them again (such as
# an empty /usr/local/share/man) when it is removed. cmake/cpack_checks.cmake
# refuses such a package.

set(CPACK_PACKAGE_NAME "ovarn")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "ovarn developers")
set(CPACK_PACKAGE_CONTACT "ovarn developers <ovarn@localhost>")
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

set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# pr pages the listings of -l; man-db reads the manual pages.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "coreutils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ed, man-db")
# dpkg-shlibdeps (from dpkg-dev) finds the exact C and C++ runtime versions;
# without it the package names the runtime libraries unversioned.
find_program(OVARN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(OVARN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libc6, libstdc++6, libgcc-s1")
endif()

set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/cpack_checks.cmake")

include(CPack)
