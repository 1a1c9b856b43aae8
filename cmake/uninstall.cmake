# SPDX-License-Identifier: MIT
# Removes every file the last install listed in install_manifest.txt (under
# $DESTDIR when it is set), then the folders of ours that are left empty.
#   cmake --build build --target uninstall
set(manifest "${CMAKE_CURRENT_BINARY_DIR}/install_manifest.txt")
if(NOT EXISTS "${manifest}")
  message(FATAL_ERROR "Nothing to uninstall: ${manifest} does not exist (install first).")
endif()
file(STRINGS "${manifest}" files)
set(folders "")
foreach(file IN LISTS files)
  set(path "$ENV{DESTDIR}${file}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  list(APPEND folders "${folder}")
endforeach()
# Only the program's own folders, and only when empty.
foreach(folder IN LISTS folders)
  if(folder MATCHES "/(glyphor|doc/glyphor)$" AND IS_DIRECTORY "${folder}")
    file(GLOB left "${folder}/*")
    if(NOT left)
      file(REMOVE_RECURSE "${folder}")
    endif()
  endif()
endforeach()
