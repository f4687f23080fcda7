# Cross build for 32-bit x86 Linux (Debian's i386) with Debian's g++-i686-linux-gnu.
# The programs it builds run here under qemu-user:
#   qemu-i386 -L /usr/i686-linux-gnu build/i386/cli/ovarn a b
set(OVARN_CROSS_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(OVARN_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
