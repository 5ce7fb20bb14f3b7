# CLI11 (Debian libcli11-dev, header-only) for the command line tools, as the target corvel_cli11.
#
# The header lives in the build machine's /usr/include, which a cross build must not search as a
# whole (its C library headers would shadow the target's). So only the CLI/ folder is copied into
# the build tree and that copy is the include path, for native and cross builds alike.
find_path(CORVEL_CLI11_INCLUDE_DIR CLI/CLI.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  DOC "Folder holding CLI/CLI.hpp (Debian: libcli11-dev)")
if(NOT CORVEL_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found: install libcli11-dev (scripts/lib.sh does)")
endif()

set(_corvel_cli11_copy ${CMAKE_BINARY_DIR}/cli11-include)
file(COPY ${CORVEL_CLI11_INCLUDE_DIR}/CLI DESTINATION ${_corvel_cli11_copy})
add_library(corvel_cli11 INTERFACE)
target_include_directories(corvel_cli11 SYSTEM INTERFACE ${_corvel_cli11_copy})
