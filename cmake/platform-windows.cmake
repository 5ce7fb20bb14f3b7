# Windows x64 build of the module: corvel.xdl64.
# The .def file names the DLL and exports exactly the three host-facing symbols; without it the
# statically linked libgcc/libstdc++ would leak their own exports. The C++ runtime is linked
# statically (toolchain flags) so that the module imports only KERNEL32.dll and msvcrt.dll.
set_target_properties(corvel PROPERTIES SUFFIX ".xdl64")
target_sources(corvel PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/corvel.def)
if(NOT MSVC)
  target_link_options(corvel PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-undefined
    # Shipping builds carry no symbol table; the debug configurations keep it for gdb under Wine.
    $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()
