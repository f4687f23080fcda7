# Read by cpack for every generator (CPACK_PROJECT_CONFIG_FILE).

# A Debian package under /usr/local would own directories that the system
# made and remove them with itself; the build must use the prefix /usr.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_PACKAGING_INSTALL_PREFIX MATCHES "^/usr/local(/|$)")
  message(FATAL_ERROR
    "A Debian package cannot install under ${CPACK_PACKAGING_INSTALL_PREFIX}. Configure a "
    "build for it with -DCMAKE_INSTALL_PREFIX=/usr, for example:\n"
    "  cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr "
    "-DOVARN_BUILD_TESTS=OFF\n"
    "  cmake --build build/deb -j2 && (cd build/deb && cpack -G DEB)")
endif()
