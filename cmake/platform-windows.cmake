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

# GoogleTest for the cross-built suite, built from Debian's sources with the same (posix) compiler.
include(cmake/googletest_from_source.cmake)
