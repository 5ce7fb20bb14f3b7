# Packaging: the folder a user drops into the host's plug-ins folder, as an archive with a checksum.
#
#   corvel/
#     corvel.xdl64 | corvel.xlib | corvel.xso64   the module
#     res/                                         its resources
#     Corvel.pdf                                   the help file the Help menu opens
#
# `cmake --build --preset <platform> --target package` writes build/<platform>/package/
# corvel-<version>-<platform>.zip (tar.gz on Linux) and a .sha256 file beside it (sha256sum format,
# so `sha256sum -c` checks it). The help file is typeset from docs/manual.md and also placed beside
# the built module, where the module looks for it.
find_package(Python3 COMPONENTS Interpreter)

# The file the package ships: the module target's, unless the platform file joins several builds
# into one (macOS: CORVEL_SHIPPED_MODULE, made by CORVEL_SHIPPED_MODULE_TARGET).
if(NOT CORVEL_SHIPPED_MODULE)
  set(CORVEL_SHIPPED_MODULE $<TARGET_FILE:corvel>)
  set(CORVEL_SHIPPED_MODULE_TARGET corvel)
endif()

set(CORVEL_MANUAL_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.md)
if(Python3_Interpreter_FOUND AND EXISTS ${CORVEL_MANUAL_SOURCE})
  get_target_property(_corvel_module_dir corvel LIBRARY_OUTPUT_DIRECTORY)
  if(NOT CORVEL_SHIPPED_MODULE_TARGET STREQUAL "corvel")
    get_filename_component(_corvel_module_dir "${CORVEL_SHIPPED_MODULE}" DIRECTORY)
  elseif(NOT _corvel_module_dir)
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
  message(STATUS "No python3 or docs/manual.md: the help file and the package target are not available")
endif()
