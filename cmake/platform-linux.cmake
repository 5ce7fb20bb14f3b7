# Linux build of the module (used by the native tests): corvel.xso64.
# The version script leaves exactly the three host-facing symbols exported; the C++ runtime is
# linked statically and hidden so that the module needs only libc at run time.
set_target_properties(${CORVEL_MODULE_TARGET} PROPERTIES SUFFIX ".xso64")
target_link_options(${CORVEL_MODULE_TARGET} PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel.map
  -Wl,--exclude-libs,ALL)
# Every symbol must be resolved at link time, except under clang's sanitizers: their runtime lives
# in the host executable only, and the module's calls into it are resolved when it is loaded.
if(NOT (CORVEL_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
  target_link_options(${CORVEL_MODULE_TARGET} PRIVATE -Wl,--no-undefined)
endif()
if(NOT CORVEL_SANITIZE)
  # The sanitizer runtimes must come from the host process; static libstdc++ would clash with them.
  target_link_options(${CORVEL_MODULE_TARGET} PRIVATE -static-libstdc++ -static-libgcc)
endif()
set_property(TARGET ${CORVEL_MODULE_TARGET} APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel.map)

# A cross build for another processor (Linux arm64) builds GoogleTest with its own compiler (once,
# however many module targets include this file).
if(CMAKE_CROSSCOMPILING AND NOT TARGET GTest::gtest)
  include(cmake/googletest_from_source.cmake)
endif()
