# Install-time part of cmake/Install.cmake: writes each template of
# ZENTRIX_GENERATED_FILES ("template|destination", destination relative to
# the prefix) with @BINDIR@ replaced by the installed programs' folder.
set(BINDIR ${ZENTRIX_INSTALL_BINDIR})
if(NOT IS_ABSOLUTE "${BINDIR}")
  set(BINDIR "${CMAKE_INSTALL_PREFIX}/${BINDIR}")
endif()
foreach(entry IN LISTS ZENTRIX_GENERATED_FILES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 template)
  list(GET parts 1 destination)
  if(NOT IS_ABSOLUTE "${destination}")
    set(destination "${CMAKE_INSTALL_PREFIX}/${destination}")
  endif()
  set(destination "$ENV{DESTDIR}${destination}")
  message(STATUS "Installing: ${destination}")
  configure_file("${ZENTRIX_TEMPLATE_DIR}/${template}" "${destination}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${destination}")
endforeach()
