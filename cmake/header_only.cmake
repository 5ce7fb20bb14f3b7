# Header-only libraries that Debian installs under /usr/include (nlohmann-json, CLI11).
#
# corvel_header_only(TARGET FOLDER) makes an INTERFACE target whose include directory holds just
# /usr/include/FOLDER. A cross build cannot add /usr/include itself: it would put the build
# machine's C library headers in front of the cross toolchain's own.
function(corvel_header_only target folder)
  if(TARGET ${target})
    return()
  endif()
  set(source /usr/include/${folder})
  if(NOT IS_DIRECTORY ${source})
    message(FATAL_ERROR "${source} is missing: install the Debian package that provides it "
                        "(scripts/lib.sh installs it on a fresh machine)")
  endif()
  set(include_dir ${CMAKE_BINARY_DIR}/header-only/${target})
  file(MAKE_DIRECTORY ${include_dir})
  if(NOT EXISTS ${include_dir}/${folder})
    file(CREATE_LINK ${source} ${include_dir}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${include_dir})
endfunction()
