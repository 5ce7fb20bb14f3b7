# Packaging: the folder a user drops into the host's plug-ins folder, as an archive with a checksum.
#
#   corvel/
#     corvel.xdl64 | corvel.xlib | corvel.xso64   the module
#     res/                                         its resources
#     Corvel.pdf                                   the help file the Help menu opens
#
# `cmake --build --preset <platform> --target package` writes build/<platform>/package/
# corvel-<version>-<platform>.zip (tar.gz on Linux) and a .sha256 file beside it (sha256sum format,
# so `sha256sum -c` checks it). The help file is typeset from docs/manual.md (manual.cmake) and also
# placed beside the shipped module, where the module looks for it.

# The file the package ships: the module target's, unless the platform file joins several builds
# into one (macOS: CORVEL_SHIPPED_MODULE, made by CORVEL_SHIPPED_MODULE_TARGET).
if(NOT CORVEL_SHIPPED_MODULE)
  set(CORVEL_SHIPPED_MODULE $<TARGET_FILE:corvel>)
  set(CORVEL_SHIPPED_MODULE_TARGET corvel)
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
    set(_corvel_archive_format gnutar)
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
    DEPENDS ${CORVEL_SHIPPED_MODULE_TARGET} corvel_manual
    COMMENT "Packaging corvel-${PROJECT_VERSION}-${_corvel_platform}"
    VERBATIM)
else()
  message(STATUS "Without the help file the package target is not available")
endif()
