# Cross build for 64-bit RISC-V Linux with Debian's g++-riscv64-linux-gnu.
# The programs it builds run here under qemu-user:
#   qemu-riscv64 -L /usr/riscv64-linux-gnu build/riscv64/cli/ovarn a b
set(OVARN_CROSS_TRIPLET riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(OVARN_CROSS_QEMU qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
