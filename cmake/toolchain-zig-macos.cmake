# Cross build of the module for macOS x86-64 (macOS 11.0 and later).
#
# zig's clang compiles against the macOS headers that zig ships; Debian's ld64.lld links, because
# zig's own Mach-O linker cannot restrict the exported symbols. platform-macos.cmake replaces the
# module link rule accordingly. Only the module is built for macOS: nothing here can run Mach-O.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_SYSTEM_VERSION 20.0)

get_filename_component(_corvel_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_C_COMPILER "${_corvel_source_dir}/scripts/zig-cc")
set(CMAKE_CXX_COMPILER "${_corvel_source_dir}/scripts/zig-c++")
set(CMAKE_AR "${_corvel_source_dir}/scripts/zig-ar" CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB "${_corvel_source_dir}/scripts/zig-ranlib" CACHE FILEPATH "" FORCE)

# The deployment target is part of the compiler's -target; no SDK or sysroot lookup (no Xcode here).
set(CMAKE_OSX_SYSROOT "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)

# The compilers are named, not probed. CMake's identification links a test program, and a link
# through zig first builds zig's libc++, libc++abi and compiler-rt for the target (half a minute
# on two cores), none of which the module uses (see cmake/macos_runtime.cpp). zig 0.11 is clang
# 16.0.6; its checks compile without linking.
foreach(_lang C CXX)
  set(CMAKE_${_lang}_COMPILER_ID Clang)
  set(CMAKE_${_lang}_COMPILER_VERSION 16.0.6)
  set(CMAKE_${_lang}_COMPILER_ID_RUN TRUE)
  set(CMAKE_${_lang}_COMPILER_FORCED TRUE)
  set(CMAKE_${_lang}_COMPILER_WORKS TRUE)
endforeach()
set(CMAKE_SIZEOF_VOID_P 8)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
