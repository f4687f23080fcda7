# Read by cpack for every generator (CPACK_PROJECT_CONFIG_FILE).

# A package under /usr/local would own directories that the system made
# and remove them with itself; the build must use the prefix /usr.
if(CPACK_GENERATOR MATCHES "^(DEB|RPM)$" AND CPACK_PACKAGING_INSTALL_PREFIX MATCHES "^/usr/local(/|$)")
  message(FATAL_ERROR
    "A package cannot install under ${CPACK_PACKAGING_INSTALL_PREFIX}. Configure a "
    "build for it with -DCMAKE_INSTALL_PREFIX=/usr, for example:\n"
    "  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr "
    "-DOVARN_BUILD_TESTS=OFF\n"
    "  cmake --build build/release -j2 && (cd build/release && cpack -G DEB)")
endif()

# NEWS.md names the release that is packaged.
if(NOT CPACK_OVARN_NEWS_VERSION STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "The newest entry of NEWS.md is ${CPACK_OVARN_NEWS_VERSION}, but the "
                      "project's version is ${CPACK_PACKAGE_VERSION}: add an entry for it")
endif()

# Every file of the package carries the time that CMake chose when it
# configured (see cmake/packaging.cmake), unless cpack is given its own.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_OVARN_SOURCE_DATE_EPOCH}")
endif()
