# Combined units: the stand-in host, its CLI, the test suite and the benchmarks are compiled a few
# files at a time in one unit each (CMake's unity build). Their files all include the same large
# header-only libraries (nlohmann-json, CLI11, GoogleTest); parsed and instantiated once per batch
# instead of once per file, the four build trees of the test command compile in about half the
# time. The module is never combined: source/ is built unit by unit, as the host's SDK builds it.
# CORVEL_COMBINED_UNITS=OFF builds every file on its own (for an editor's diagnostics, or to check
# that each file includes what it uses).
option(CORVEL_COMBINED_UNITS "Compile the stand-in host, the tests and the benchmarks in combined units" ON)
set(CORVEL_COMBINED_UNIT_FILES 8 CACHE STRING "Files per combined unit")

function(corvel_combine_units target)
  if(CORVEL_COMBINED_UNITS)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${CORVEL_COMBINED_UNIT_FILES})
  endif()
endfunction()
