# The help file Corvel.pdf, placed beside the built module (where the module's Help menu opens it)
# and packed by the `package` target (packaging.cmake).
#
# The native Linux build typesets it: corvel-host opens the built module's dialog with the factory
# defaults and draws it (manual/dialog.png), then scripts/make_manual.py sets docs/manual.md with
# docs/manual.css through WeasyPrint (Debian: weasyprint, python3-markdown). The cross builds
# (Windows, macOS) cannot run their own module here, so they take the native build's file, named
# in CORVEL_MANUAL_PDF (their presets name build/default/Corvel.pdf); `cmake --build --preset
# default --target corvel_manual` makes it.
#
# Sets CORVEL_MANUAL_FILE (the file beside the module) and the target corvel_manual, or leaves
# CORVEL_MANUAL_FILE empty with a message saying why.
#
# In script mode (-DFROM=... -DTO=... -P manual.cmake) it copies a help file typeset elsewhere.
if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT EXISTS "${FROM}")
    message(FATAL_ERROR "The help file ${FROM} is not there. It is typeset by the native build: "
                        "cmake --build --preset default --target corvel_manual")
  endif()
  file(COPY_FILE "${FROM}" "${TO}" ONLY_IF_DIFFERENT)
  return()
endif()

set(CORVEL_MANUAL_PDF "" CACHE FILEPATH
    "A help file typeset by another build, used instead of typesetting one (the cross builds)")
set(CORVEL_MANUAL_FILE "")
get_target_property(_corvel_module_dir corvel LIBRARY_OUTPUT_DIRECTORY)
if(CORVEL_SHIPPED_MODULE_TARGET)
  # The shipped file is joined from several builds (macOS): the help file goes beside it.
  get_filename_component(_corvel_module_dir "${CORVEL_SHIPPED_MODULE}" DIRECTORY)
elseif(NOT _corvel_module_dir)
  set(_corvel_module_dir ${CMAKE_CURRENT_BINARY_DIR})
endif()
set(_corvel_pdf ${_corvel_module_dir}/Corvel.pdf)

if(CORVEL_MANUAL_PDF)
  add_custom_target(corvel_manual
    COMMAND ${CMAKE_COMMAND} -DFROM=${CORVEL_MANUAL_PDF} -DTO=${_corvel_pdf} -P ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Copying the help file ${CORVEL_MANUAL_PDF}"
    VERBATIM)
  set(CORVEL_MANUAL_FILE ${_corvel_pdf})
elseif(CORVEL_SANITIZE)
  message(STATUS "The help file is not typeset in a sanitizer build (the default build makes it)")
elseif(NOT (TARGET corvel-host AND CORVEL_HOSTSIM_DRAWS))
  message(STATUS "The help file is not typeset: this build does not draw dialogs (native Linux build with "
                 "cairo and pango; cross builds set CORVEL_MANUAL_PDF)")
else()
  # Debian's python3, where apt puts WeasyPrint, before any other on the PATH.
  find_program(CORVEL_MANUAL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(CORVEL_MANUAL_PYTHON python3)
  set(_corvel_manual_ok FALSE)
  if(CORVEL_MANUAL_PYTHON)
    execute_process(COMMAND ${CORVEL_MANUAL_PYTHON} -c "import markdown, weasyprint"
                    RESULT_VARIABLE _corvel_import OUTPUT_QUIET ERROR_QUIET)
    if(_corvel_import EQUAL 0)
      set(_corvel_manual_ok TRUE)
    endif()
  endif()
  if(NOT _corvel_manual_ok)
    message(STATUS "The help file is not typeset: python3 with WeasyPrint and Markdown not found "
                   "(Debian: weasyprint python3-markdown)")
  else()
    set(_corvel_manual_dir ${CMAKE_CURRENT_BINARY_DIR}/manual)
    file(MAKE_DIRECTORY ${_corvel_manual_dir})
    file(GLOB_RECURSE _corvel_res_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/*)
    # The dialog as a user first meets it: the module started without stored choices, its command
    # executed, the open dialog drawn.
    add_custom_command(OUTPUT ${_corvel_manual_dir}/dialog.png
      COMMAND corvel-host run $<TARGET_FILE:corvel> --execute --do draw:${_corvel_manual_dir}/dialog.png
      DEPENDS corvel corvel-host ${_corvel_res_files}
      COMMENT "Drawing the dialog for the help file"
      VERBATIM)
    add_custom_command(OUTPUT ${_corvel_pdf}
      COMMAND ${CORVEL_MANUAL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make_manual.py
              ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.md ${_corvel_pdf}
              --css ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.css --pictures ${_corvel_manual_dir}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.md ${CMAKE_CURRENT_SOURCE_DIR}/docs/manual.css
              ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make_manual.py ${_corvel_manual_dir}/dialog.png
      COMMENT "Typesetting the help file Corvel.pdf"
      VERBATIM)
    add_custom_target(corvel_manual ALL DEPENDS ${_corvel_pdf})
    set(CORVEL_MANUAL_FILE ${_corvel_pdf})
  endif()
endif()
