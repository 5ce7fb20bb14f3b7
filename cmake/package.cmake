# Lays out and archives one plug-in package (called by the `package` target, see packaging.cmake).
# Inputs: MODULE (the module as it ships, see packaging.cmake), RESOURCES, HELP_FILE, OUTPUT_DIR,
# NAME, FORMAT (zip).
foreach(_var MODULE RESOURCES HELP_FILE OUTPUT_DIR NAME FORMAT)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "package.cmake: ${_var} is not set")
  endif()
endforeach()
foreach(_input ${MODULE} ${RESOURCES}/c4d_symbols.h ${HELP_FILE})
  if(NOT EXISTS ${_input})
    message(FATAL_ERROR "package.cmake: ${_input} is missing")
  endif()
endforeach()

set(_stage ${OUTPUT_DIR}/${NAME})
file(REMOVE_RECURSE ${_stage})
file(MAKE_DIRECTORY ${_stage}/corvel)
file(COPY ${MODULE} ${HELP_FILE} DESTINATION ${_stage}/corvel)
file(COPY ${RESOURCES}/ DESTINATION ${_stage}/corvel/res)

if(NOT FORMAT STREQUAL "zip")
  message(FATAL_ERROR "package.cmake: the packages are zip files, not ${FORMAT}")
endif()
set(_archive ${NAME}.zip)
# A fixed time stamp and a sorted file list make the archive depend only on its content.
file(GLOB_RECURSE _files RELATIVE ${_stage} ${_stage}/corvel/*)
list(SORT _files)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT_DIR}/${_archive} --format=${FORMAT}
          --mtime=2021-11-01 -- ${_files}
  WORKING_DIRECTORY ${_stage}
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "package.cmake: archiving ${_archive} failed")
endif()
file(SHA256 ${OUTPUT_DIR}/${_archive} _sum)
file(WRITE ${OUTPUT_DIR}/${_archive}.sha256 "${_sum}  ${_archive}\n")
list(LENGTH _files _count)
message(STATUS "Package ${OUTPUT_DIR}/${_archive} (${_count} files), sha256 ${_sum}")
