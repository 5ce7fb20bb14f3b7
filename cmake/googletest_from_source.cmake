# GoogleTest for a cross-built suite (Windows, Linux arm64): built from Debian's sources with the
# cross compiler, because no prebuilt GoogleTest for the target exists here. A small config file
# makes the suite's find_package(GTest) pick these targets up exactly as it picks up the system
# package natively.
if(CORVEL_BUILD_TESTS AND CORVEL_BUILD_HOSTSIM AND NOT TARGET GTest::gtest)
  set(CORVEL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross-built suite")
  if(NOT EXISTS ${CORVEL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources at ${CORVEL_GOOGLETEST_SOURCE_DIR} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${CORVEL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(_lib gtest gtest_main gmock gmock_main)
    corvel_tool_options(${_lib})
  endforeach()
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
    "# Generated: GoogleTest is part of this build (cmake/googletest_from_source.cmake).\nset(GTest_FOUND TRUE)\n")
  set(GTest_DIR ${_corvel_gtest_config} CACHE PATH "GoogleTest built inside this project" FORCE)
endif()
