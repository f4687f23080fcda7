# What every cross build for Linux with one of Debian's cross compilers
# shares. The toolchain file of a target sets OVARN_CROSS_TRIPLET (the
# compilers' prefix, which is also the target's tree under /usr),
# CMAKE_SYSTEM_PROCESSOR and OVARN_CROSS_QEMU (the qemu-user program that
# runs the target's code), then includes this file.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${OVARN_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${OVARN_CROSS_TRIPLET}-g++)

# Headers and libraries of the target come from the cross tree only; the
# build's own tools still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${OVARN_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# There is no binfmt registration to rely on: anything the build runs goes
# through the emulator by name.
set(CMAKE_CROSSCOMPILING_EMULATOR ${OVARN_CROSS_QEMU} -L /usr/${OVARN_CROSS_TRIPLET})
