# nlohmann-json and CLI11 are header-only libraries from Debian (nlohmann-json3-dev, libcli11-dev).
# The native build finds them in the system's include folder. A cross build must not search the
# build machine's include folder (its C library headers are the wrong ones), so it gets a copy of
# just these two header folders in the build tree.
set(CORVEL_HEADER_ONLY_ROOT "/usr/include" CACHE PATH "Folder holding nlohmann/json.hpp and CLI/CLI.hpp")
foreach(header nlohmann/json.hpp CLI/CLI.hpp)
  if(NOT EXISTS "${CORVEL_HEADER_ONLY_ROOT}/${header}")
    message(FATAL_ERROR "${CORVEL_HEADER_ONLY_ROOT}/${header} not found: install nlohmann-json3-dev and libcli11-dev "
                        "(scripts/lib.sh does) or set CORVEL_HEADER_ONLY_ROOT")
  endif()
endforeach()

add_library(corvel_header_only INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(_corvel_header_copy "${CMAKE_BINARY_DIR}/header-only")
  file(COPY "${CORVEL_HEADER_ONLY_ROOT}/nlohmann" "${CORVEL_HEADER_ONLY_ROOT}/CLI" DESTINATION "${_corvel_header_copy}")
  target_include_directories(corvel_header_only SYSTEM INTERFACE "${_corvel_header_copy}")
else()
  target_include_directories(corvel_header_only SYSTEM INTERFACE "${CORVEL_HEADER_ONLY_ROOT}")
endif()
