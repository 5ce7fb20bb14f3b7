# How the stand-in host, its CLI, the tests, the benchmarks and the fuzz targets are compiled. The
# module is never built this way: source/ is built unit by unit with the build type's flags, as the
# host's SDK builds it, and what ships is that build.
#
# Combined units: these targets are compiled a few files at a time in one unit each (CMake's unity
# build). Their files all include the same large header-only libraries (nlohmann-json, CLI11,
# GoogleTest); parsed and instantiated once per batch instead of once per file, a build tree
# compiles in about two thirds of the time. CORVEL_COMBINED_UNITS=OFF builds every file on its own
# (for an editor's diagnostics, or to check that each file includes what it uses).
option(CORVEL_COMBINED_UNITS "Compile the stand-in host, the tests and the benchmarks in combined units" ON)
set(CORVEL_COMBINED_UNIT_FILES 8 CACHE STRING "Files per combined unit")

# Extra compile options for these targets only, after the build type's. The presets use them where a
# tree exists to run the suite: line tables instead of full debug information (-g1: a third less
# compile time, and backtraces, sanitizer reports and valgrind still name file and line), and -O1
# for the host and the suite of the cross builds, which run under Wine and qemu.
set(CORVEL_TOOL_COMPILE_OPTIONS "" CACHE STRING "Compile options for the host, the tests and the tools (not the module)")

function(corvel_tool_options target)
  if(CORVEL_TOOL_COMPILE_OPTIONS)
    separate_arguments(_options NATIVE_COMMAND "${CORVEL_TOOL_COMPILE_OPTIONS}")
    target_compile_options(${target} PRIVATE ${_options})
  endif()
endfunction()

function(corvel_tool_build target)
  if(CORVEL_COMBINED_UNITS)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${CORVEL_COMBINED_UNIT_FILES})
  endif()
  corvel_tool_options(${target})
endfunction()
