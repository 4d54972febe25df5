# Install-time part of cmake/Install.cmake: the files that name installed
# folders, known only when installing (cmake --install --prefix, cpack).
# Each entry of ZENTRIX_GENERATED_FILES is "template|destination[|gzip]",
# the template an absolute path, the destination relative to the prefix;
# @PREFIX@, @BINDIR@, @LIBDIR@, @LIBEXECDIR@, @INCLUDEDIR@, @DATADIR@ and
# @VERSION@ become the installed values. gzip: compressed, as man pages and
# the changelog are shipped.
set(PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(folder BINDIR LIBDIR LIBEXECDIR INCLUDEDIR DATADIR)
  set(${folder} "${ZENTRIX_INSTALL_${folder}}")
  if(NOT IS_ABSOLUTE "${${folder}}")
    set(${folder} "${CMAKE_INSTALL_PREFIX}/${${folder}}")
  endif()
endforeach()
set(VERSION "${ZENTRIX_VERSION}")

foreach(entry IN LISTS ZENTRIX_GENERATED_FILES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 template)
  list(GET parts 1 destination)
  list(LENGTH parts count)
  if(NOT IS_ABSOLUTE "${destination}")
    set(destination "${CMAKE_INSTALL_PREFIX}/${destination}")
  endif()
  set(destination "$ENV{DESTDIR}${destination}")
  message(STATUS "Installing: ${destination}")
  if(count GREATER 2)
    get_filename_component(name "${destination}" NAME_WE)
    set(plain "${destination}.plain")
    configure_file("${template}" "${plain}" @ONLY)
    # -n: no name or time in the header, so the package is reproducible.
    execute_process(COMMAND gzip -9n -c "${plain}" OUTPUT_FILE "${destination}"
                    RESULT_VARIABLE status)
    file(REMOVE "${plain}")
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${template}")
    endif()
  else()
    configure_file("${template}" "${destination}" @ONLY)
  endif()
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${destination}")
endforeach()
