# Cross build for IBM Z Linux, big-endian (Debian's s390x) with Debian's g++-s390x-linux-gnu.
# The programs it builds run here under qemu-user:
#   qemu-s390x -L /usr/s390x-linux-gnu build/s390x/cli/ovarn a b
set(OVARN_CROSS_TRIPLET s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(OVARN_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
