# Cross build for 32-bit ARM Linux with hardware floating point (Debian's armhf) with Debian's g++-arm-linux-gnueabihf.
# The programs it builds run here under qemu-user:
#   qemu-arm -L /usr/arm-linux-gnueabihf build/armhf/cli/ovarn a b
set(OVARN_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(OVARN_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
