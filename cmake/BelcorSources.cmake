# Source lists are collected by folder so that a new file needs no list edit.
# Core folders hold plain C++; a folder's ui/ subfolder holds its Qt dialogs.
function(belcor_glob out)
  set(files)
  foreach(pattern ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${pattern})
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
