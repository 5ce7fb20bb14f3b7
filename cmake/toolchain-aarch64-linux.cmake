# Cross build of the stand-in host, its test suite and the Linux module for Linux on arm64
# (aarch64) with Debian's g++-aarch64-linux-gnu; everything runs here under qemu-user.
#
# The suite then loads the arm64 slice of the universal macOS module through the host's Mach-O
# loader, as an arm64 Mac runs it. This machine has no binfmt_misc, so an aarch64 program starts
# only through the emulator: CTest runs every test through it (CMAKE_CROSSCOMPILING_EMULATOR), and
# the programs the suite and the validator start themselves go through CORVEL_EMULATOR (set for
# the tests in tests/CMakeLists.txt). libtiff for aarch64 is not installed: the host checks icons
# without decoding them, as in the Windows build.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CORVEL_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${CORVEL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CORVEL_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVEL_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu-user finds the aarch64 C library and loader under -L (QEMU_LD_PREFIX for the programs
# started through CORVEL_EMULATOR).
find_program(CORVEL_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CORVEL_QEMU_LD_PREFIX /usr/${CORVEL_CROSS_TRIPLE})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVEL_QEMU_AARCH64} -L ${CORVEL_QEMU_LD_PREFIX})
