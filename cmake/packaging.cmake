# Packaging: the folder a user drops into the host's plug-ins folder, as an archive with a checksum.
#
#   corvel/
#     corvel.xdl64 | corvel.xlib | corvel.xso64   the module
#     res/                                         its resources
#     Corvel.pdf                                   the help file the Help menu opens
#
# `cmake --build --preset <platform> --target package` writes build/<platform>/package/
# corvel-<version>-<platform>.zip and a .sha256 file beside it (sha256sum format, so
# `sha256sum -c` checks it). The help file is typeset from docs/manual.md (manual.cmake) and also
# placed beside the built module, where the module looks for it.
#
# The module that ships (target corvel_shipped): on Linux build/<platform>/shipped/<module file>,
# the built module stripped of its symbol table and debugging sections (the RelWithDebInfo build
# keeps them for the debugger); the Windows module is linked stripped, so the shipped file is a
# copy of the built one; on macOS the platform file sets CORVEL_SHIPPED_MODULE to the universal
# file it joins from its slices (each stripped at link). The archive holds exactly that file, and
# the suite checks its size (ModuleFile.ShipsInAtMost64KiB).
if(NOT CORVEL_SHIPPED_MODULE)
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
else()
  add_custom_target(corvel_shipped)
  add_dependencies(corvel_shipped ${CORVEL_SHIPPED_MODULE_TARGET})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/manual.cmake)
set(_corvel_pdf ${CORVEL_MANUAL_FILE})
if(CORVEL_MANUAL_FILE)
  if(WIN32)
    set(_corvel_platform windows-x64)
    set(_corvel_archive_format zip)
  elseif(APPLE)
    set(_corvel_platform macos-universal)
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
  message(STATUS "Without the help file the package target is not available")
endif()
