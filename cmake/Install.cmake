# What `cmake --install` and the Debian package (cpack -G DEB) put where a
# Linux user looks for it (GNUInstallDirs):
#   bin/                 convertor, zxrun, ostrel, ostrel-worker (the server
#                        starts it from beside itself), ostrel-run, kestrin
#   lib/                 libzentrix.a, libzentrix.so, libzentrix_mpi.a
#   lib/kestrin/Converted_Minuit/Minuit.so   Kestrin's module
#   lib/cmake/Zentrix/   the package: find_package(Zentrix)
#   include/zentrix/     zentrix.h, zentrix_host.h, the Fortran module files
#   share/dbus-1/services/org.kvq.Ostrel.service   (Exec: the installed ostrel;
#                        SystemdService: the user unit below)
#   lib/systemd/user/ostrel.service   the server as a systemd user service
#   share/applications/  the converter's window and Kestrin
#   share/man/man1/      the command-line programs
set(ZENTRIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zentrix)

set(man_pages convertor.1)
if(NOT TARGET zentrix)
  install(TARGETS convertor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(TARGET zentrix)
  install(TARGETS zentrix zentrix_shared EXPORT ZentrixTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # A set of its own: it names MPI's targets, which a user may not have.
  set(ZENTRIX_WITH_MPI OFF)
  if(TARGET zentrix_mpi)
    set(ZENTRIX_WITH_MPI ON)
    install(TARGETS zentrix_mpi EXPORT ZentrixMpiTargets
      ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(EXPORT ZentrixMpiTargets NAMESPACE Zentrix:: DESTINATION ${ZENTRIX_CMAKE_DIR})
  endif()
  # The package's converter and runner, for zentrix_convert and for tests.
  install(TARGETS convertor zxrun EXPORT ZentrixTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES zentrix/zentrix.h zentrix/zentrix_host.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentrix)
  install(DIRECTORY ${ZENTRIX_MODULE_DIR}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentrix
    FILES_MATCHING PATTERN "*.mod")
  install(EXPORT ZentrixTargets NAMESPACE Zentrix:: DESTINATION ${ZENTRIX_CMAKE_DIR})

  include(CMakePackageConfigHelpers)
  configure_package_config_file(cmake/ZentrixConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZentrixConfig.cmake INSTALL_DESTINATION ${ZENTRIX_CMAKE_DIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZentrixConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/ZentrixConfig.cmake
    ${PROJECT_BINARY_DIR}/ZentrixConfigVersion.cmake cmake/Zentrix.cmake
    DESTINATION ${ZENTRIX_CMAKE_DIR})
  list(APPEND man_pages zxrun.1)
endif()

if(TARGET minuit_module)
  install(TARGETS minuit_module LIBRARY DESTINATION ${KESTRIN_MODULE_INSTALL_DIR})
endif()

# The generated files name installed programs by their full path, known only
# when installing (cmake --install --prefix, cpack).
set(generated_files)
if(TARGET ostrel)
  install(TARGETS ostrel ostrel-worker ostrel-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND man_pages ostrel.1 ostrel-worker.1 ostrel-run.1)
  list(APPEND generated_files
    "org.kvq.Ostrel.service.in|${CMAKE_INSTALL_DATADIR}/dbus-1/services/org.kvq.Ostrel.service"
    # Where systemd looks for user units of packages (not lib/<triplet>).
    "ostrel.service.in|lib/systemd/user/ostrel.service")
endif()
if(TARGET kestrin)
  install(TARGETS kestrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND man_pages kestrin.1)
  list(APPEND generated_files
    "org.kvq.Kestrin.desktop.in|${CMAKE_INSTALL_DATADIR}/applications/org.kvq.Kestrin.desktop")
endif()
if(CONVERTOR_WITH_QT)
  list(APPEND generated_files
    "org.kvq.Convertor.desktop.in|${CMAKE_INSTALL_DATADIR}/applications/org.kvq.Convertor.desktop")
endif()
install(CODE "
  set(ZENTRIX_TEMPLATE_DIR [[${PROJECT_SOURCE_DIR}/docs/desktop]])
  set(ZENTRIX_INSTALL_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(ZENTRIX_GENERATED_FILES [[${generated_files}]])")
install(SCRIPT cmake/InstallGenerated.cmake)

list(TRANSFORM man_pages PREPEND docs/man/)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: cpack -G DEB in the build tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME convertor)
set(CPACK_PACKAGE_VENDOR KVQ)
set(CPACK_PACKAGE_CONTACT "Convertor developers <convertor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Fortran to Fortran converter, run-time library Zentrix, computational server")
set(CPACK_PACKAGE_DESCRIPTION
  "convertor turns Fortran programs into modules that run through the run-time library\n\
Zentrix: with zxrun from the command line, inside the computational server ostrel\n\
(driven over D-Bus by ostrel-run and the minimisation client kestrin). CMake\n\
projects build modules with find_package(Zentrix).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# As Debian ships programs: without their debugging information.
set(CPACK_STRIP_FILES ON)
# Building modules needs the compiler; the server needs a session bus.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gfortran, cmake (>= 3.20), dbus-daemon")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "openmpi-bin, libopenmpi-dev")
# Install into the staging root with the real prefix, so that the generated
# files name /usr/bin/ostrel and not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
include(CPack)
