# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu.
# The programs it builds run here under qemu-user:
#   qemu-aarch64 -L /usr/aarch64-linux-gnu build/aarch64/cli/ovarn a b
set(OVARN_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(OVARN_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
