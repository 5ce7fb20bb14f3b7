# Windows x64 build of the module: corvel.xdl64.
# The .def file names the DLL and exports exactly the three host-facing symbols; without it the
# statically linked libgcc/libstdc++ would leak their own exports. The C++ runtime is linked
# statically (toolchain flags) so that the module imports only KERNEL32.dll and msvcrt.dll.
set_target_properties(${CORVEL_MODULE_TARGET} PROPERTIES SUFFIX ".xdl64")
target_sources(${CORVEL_MODULE_TARGET} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel.def)
if(NOT MSVC)
  target_link_options(${CORVEL_MODULE_TARGET} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-undefined
    # Shipping builds carry no symbol table; the debug configurations keep it for gdb under Wine.
    $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

# Stop the build if the compiler does not target Windows x64 (see platform_check.cpp).
target_sources(${CORVEL_MODULE_TARGET} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/platform_check.cpp APPEND PROPERTY COMPILE_DEFINITIONS CORVEL_EXPECT_WINDOWS)

# GoogleTest for the cross-built suite: built from Debian's sources with the same (posix) compiler,
# because no prebuilt Windows GoogleTest exists here. A small config file makes the suite's
# find_package(GTest) pick these targets up exactly as it picks up the system package natively.
if(CORVEL_BUILD_TESTS AND CORVEL_BUILD_HOSTSIM AND NOT TARGET GTest::gtest)
  set(CORVEL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows suite")
  if(NOT EXISTS ${CORVEL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources at ${CORVEL_GOOGLETEST_SOURCE_DIR} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${CORVEL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest defines GTest::gtest and friends itself; add FindGTest's older names too.
  foreach(_alias gtest:gtest gtest_main:gtest_main gmock:gmock gmock_main:gmock_main GTest:gtest Main:gtest_main)
    string(REPLACE ":" ";" _pair ${_alias})
    list(GET _pair 0 _name)
    list(GET _pair 1 _lib)
    if(NOT TARGET GTest::${_name})
      add_library(GTest::${_name} ALIAS ${_lib})
    endif()
  endforeach()
  set(_corvel_gtest_config ${CMAKE_BINARY_DIR}/googletest-config)
  file(WRITE ${_corvel_gtest_config}/GTestConfig.cmake
    "# Generated: GoogleTest is part of this build (cmake/platform-windows.cmake).\nset(GTest_FOUND TRUE)\n")
  set(GTest_DIR ${_corvel_gtest_config} CACHE PATH "GoogleTest built inside this project" FORCE)
endif()
