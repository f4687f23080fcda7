# Cross build for 64-bit little-endian POWER Linux (Debian's ppc64el) with Debian's g++-powerpc64le-linux-gnu.
# The programs it builds run here under qemu-user:
#   qemu-ppc64le -L /usr/powerpc64le-linux-gnu build/ppc64el/cli/ovarn a b
set(OVARN_CROSS_TRIPLET powerpc64le-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(OVARN_CROSS_QEMU qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
