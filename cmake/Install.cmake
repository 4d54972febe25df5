# What `cmake --install` and the Debian package (cpack -G DEB) put where a
# Linux user looks for it (GNUInstallDirs):
#   bin/                 convertor, zxrun, ostrel, ostrel-run, kestrin
#   libexec/ostrel/      ostrel-worker (started by the server only)
#   libexec/convertor/   convertor-window (started by convertor only)
#   lib/                 libzentrix.a, libzentrix.so, libzentrix_mpi.a
#   lib/kestrin/Converted_Minuit/Minuit.so   Kestrin's module
#   lib/cmake/Zentrix/   the package: find_package(Zentrix)
#   lib/pkgconfig/       zentrix.pc, zentrix-mpi.pc
#   include/zentrix/     zentrix.h, zentrix_host.h, the Fortran module files
#   share/dbus-1/services/org.kvq.Ostrel.service   (Exec: the installed ostrel;
#                        SystemdService: the user unit below)
#   lib/systemd/user/ostrel.service   the server as a systemd user service
#   share/applications/  the converter's window and Kestrin
#   share/man/man1/      the programs' manual pages, naming the installed folders
#   share/man/man7/      ostrel-interface(7): writing a client of the server
#   share/dbus-1/interfaces/  the server's interface description
#   share/doc/convertor/examples/ostrel_client.py   a client in Python
#   share/doc/convertor/ copyright (GPL-3+) and changelog
#   share/lintian/overrides/convertor   why convertor is linked statically
set(ZENTRIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zentrix)

set(man_pages convertor.1)
# The generated files name installed folders, known only when installing
# (cmake --install --prefix, cpack): "template|destination[|gzip]".
set(generated_files)
if(TARGET convertor_window_program)
  install(TARGETS convertor_window_program RUNTIME DESTINATION ${CONVERTOR_WINDOW_INSTALL_DIR})
endif()
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
  set(ZENTRIX_MODULE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/zentrix)
  configure_package_config_file(cmake/ZentrixConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZentrixConfig.cmake INSTALL_DESTINATION ${ZENTRIX_CMAKE_DIR}
    PATH_VARS ZENTRIX_MODULE_INSTALL_DIR)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZentrixConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/ZentrixConfig.cmake
    ${PROJECT_BINARY_DIR}/ZentrixConfigVersion.cmake cmake/Zentrix.cmake
    DESTINATION ${ZENTRIX_CMAKE_DIR})
  list(APPEND man_pages zxrun.1)
  list(APPEND generated_files
    "${PROJECT_SOURCE_DIR}/cmake/zentrix.pc.in|${CMAKE_INSTALL_LIBDIR}/pkgconfig/zentrix.pc")
  if(ZENTRIX_WITH_MPI)
    list(APPEND generated_files
      "${PROJECT_SOURCE_DIR}/cmake/zentrix-mpi.pc.in|${CMAKE_INSTALL_LIBDIR}/pkgconfig/zentrix-mpi.pc")
  endif()
endif()

if(TARGET minuit_module)
  install(TARGETS minuit_module LIBRARY DESTINATION ${KESTRIN_MODULE_INSTALL_DIR})
endif()

set(desktop ${PROJECT_SOURCE_DIR}/docs/desktop)
if(TARGET ostrel)
  install(TARGETS ostrel ostrel-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS ostrel-worker RUNTIME DESTINATION ${OSTREL_WORKER_INSTALL_DIR})
  list(APPEND man_pages ostrel.1 ostrel-worker.1 ostrel-run.1 ostrel-interface.7)
  # Where D-Bus tools look for interface descriptions; the client example.
  install(FILES server/org.kvq.Ostrel.IComputationalServer.xml server/org.kvq.Ostrel.Extensions.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)
  install(PROGRAMS examples/python/ostrel_client.py
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/convertor/examples)
  list(APPEND generated_files
    "${desktop}/org.kvq.Ostrel.service.in|${CMAKE_INSTALL_DATADIR}/dbus-1/services/org.kvq.Ostrel.service"
    # Where systemd looks for user units of packages (not lib/<triplet>).
    "${desktop}/ostrel.service.in|lib/systemd/user/ostrel.service")
endif()
if(TARGET kestrin)
  install(TARGETS kestrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND man_pages kestrin.1)
  list(APPEND generated_files
    "${desktop}/org.kvq.Kestrin.desktop.in|${CMAKE_INSTALL_DATADIR}/applications/org.kvq.Kestrin.desktop")
endif()
if(CONVERTOR_WITH_QT)
  list(APPEND generated_files
    "${desktop}/org.kvq.Convertor.desktop.in|${CMAKE_INSTALL_DATADIR}/applications/org.kvq.Convertor.desktop")
endif()
foreach(page ${man_pages})
  get_filename_component(section ${page} EXT)
  string(SUBSTRING ${section} 1 -1 section)
  list(APPEND generated_files
    "${PROJECT_SOURCE_DIR}/docs/man/${page}|${CMAKE_INSTALL_MANDIR}/man${section}/${page}.gz|gzip")
endforeach()
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/convertor)
install(FILES docs/debian/copyright DESTINATION ${doc_dir})
install(FILES docs/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME convertor)
list(APPEND generated_files "${PROJECT_SOURCE_DIR}/docs/debian/changelog|${doc_dir}/changelog.gz|gzip")

install(CODE "
  set(ZENTRIX_INSTALL_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(ZENTRIX_INSTALL_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
  set(ZENTRIX_INSTALL_LIBEXECDIR [[${CMAKE_INSTALL_LIBEXECDIR}]])
  set(ZENTRIX_INSTALL_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
  set(ZENTRIX_INSTALL_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
  set(ZENTRIX_VERSION [[${PROJECT_VERSION}]])
  set(ZENTRIX_GENERATED_FILES [[${generated_files}]])")
install(SCRIPT cmake/InstallGenerated.cmake)

# The Debian package: cpack -G DEB in the build tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME convertor)
set(CPACK_PACKAGE_VENDOR KVQ)
set(CPACK_PACKAGE_CONTACT "Convertor developers <convertor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Fortran to Fortran converter, run-time library Zentrix, computational server")
set(CPACK_PACKAGE_DESCRIPTION
  "convertor turns Fortran programs into modules that run through the run-time\n\
library Zentrix: with zxrun from the command line, inside the computational\n\
server ostrel (driven over D-Bus by ostrel-run and the minimisation client\n\
kestrin). CMake projects build modules with find_package(Zentrix), Makefiles\n\
with pkg-config zentrix.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libzentrix.so.0 is a public library: its shlibs entry, and ldconfig run by
# dpkg's trigger when the package comes or goes.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/docs/debian/triggers)
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
