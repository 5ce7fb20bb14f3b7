# Packaging: the folder a user drops into the host's plug-ins folder, as an archive with a checksum.
#
#   corvel/
#     corvel.xdl64 | corvel.xlib | corvel.xso64   the module
#     res/                                         its resources
#     Corvel.pdf                                   the help file the Help menu opens
#
# `cmake --build --preset <platform> --target package` writes build/<platform>/package/
# corvel-<version>-<platform>.zip and a .sha256 file beside it (sha256sum format, so
# `sha256sum -c` checks it). The help file is typeset from docs/manual.md and also placed beside
# the built module, where the module looks for it.
#
# The module that ships is build/<platform>/shipped/<module file> (target corvel_shipped): on Linux
# the built module stripped of its symbol table and debugging sections (the RelWithDebInfo build
# keeps them for the debugger); the Windows module is linked stripped and the macOS module is
# stripped at link, so theirs is the built file. The archive holds exactly that file, and the
# suite checks its size (ModuleFile.ShipsInAtMost64KiB).
find_package(Python3 COMPONENTS Interpreter)

get_target_property(_corvel_suffix corvel SUFFIX)
set(CORVEL_SHIPPED_MODULE ${CMAKE_BINARY_DIR}/shipped/corvel${_corvel_suffix})
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_STRIP)
  message(FATAL_ERROR "strip is needed to make the shipped Linux module")
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(_corvel_strip COMMAND ${CMAKE_STRIP} --strip-all ${CORVEL_SHIPPED_MODULE})
else()
  set(_corvel_strip)
endif()
add_custom_command(OUTPUT ${CORVEL_SHIPPED_MODULE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/shipped
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:corvel> ${CORVEL_SHIPPED_MODULE}
  ${_corvel_strip}
  DEPENDS corvel
  COMMENT "The module as it ships: shipped/corvel${_corvel_suffix}"
  VERBATIM)
add_custom_target(corvel_shipped DEPENDS ${CORVEL_SHIPPED_MODULE})

set(CORVEL_MANUAL_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.md)
if(Python3_Interpreter_FOUND AND EXISTS ${CORVEL_MANUAL_SOURCE})
  get_target_property(_corvel_module_dir corvel LIBRARY_OUTPUT_DIRECTORY)
  if(NOT _corvel_module_dir)
    set(_corvel_module_dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(_corvel_pdf ${_corvel_module_dir}/Corvel.pdf)
  add_custom_command(OUTPUT ${_corvel_pdf}
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make_manual_pdf.py
            ${CORVEL_MANUAL_SOURCE} ${_corvel_pdf}
    DEPENDS ${CORVEL_MANUAL_SOURCE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make_manual_pdf.py
    COMMENT "Typesetting the help file Corvel.pdf"
    VERBATIM)
  add_custom_target(corvel_manual ALL DEPENDS ${_corvel_pdf})

  if(WIN32)
    set(_corvel_platform windows-x64)
    set(_corvel_archive_format zip)
  elseif(APPLE)
    set(_corvel_platform macos-x86_64)
    set(_corvel_archive_format zip)
  else()
    set(_corvel_platform linux-x86_64)
    set(_corvel_archive_format zip)
  endif()
  add_custom_target(package
    COMMAND ${CMAKE_COMMAND}
            -DMODULE=${CORVEL_SHIPPED_MODULE}
            -DRESOURCES=${CMAKE_CURRENT_SOURCE_DIR}/res
            -DHELP_FILE=${_corvel_pdf}
            -DOUTPUT_DIR=${CMAKE_BINARY_DIR}/package
            -DNAME=corvel-${PROJECT_VERSION}-${_corvel_platform}
            -DFORMAT=${_corvel_archive_format}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/package.cmake
    DEPENDS corvel_shipped corvel_manual
    COMMENT "Packaging corvel-${PROJECT_VERSION}-${_corvel_platform}"
    VERBATIM)
else()
  message(STATUS "No python3 or docs/manual.md: the help file and the package target are not available")
endif()
