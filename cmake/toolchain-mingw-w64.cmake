# Cross build for Windows x64 with the mingw-w64 GCC, posix thread model.
#
# The posix variant is used for everything: the win32 variant has no std::mutex, which GoogleTest
# needs. Binaries link the C and C++ runtimes statically so that they import only KERNEL32.dll and
# msvcrt.dll. Test programs run under Wine through the emulator wrapper, which keeps its own Wine
# prefix inside the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CORVEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CORVEL_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CORVEL_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CORVEL_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CORVEL_STATIC_RUNTIME}")

# Every program CTest starts goes through Wine, headless, with the build tree's prefix.
get_filename_component(_corvel_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_corvel_source_dir}/scripts/wine-exec.sh")
