# Building converted Fortran with the run-time library Zentrix.
#
#   zentrix_convert(<out-var> DIRECTORY <dir> SOURCES <files>
#                   [SETTINGS KEY=value ...] [DEPENDS <files>])
#       converts each source with convertor at build time into <dir>
#       (NAME.f, or NAME.f90 for a .f90 source) and returns the outputs.
#   zentrix_add_module(<target> NAME <entry> SOURCES <files> [SETTINGS ...] [DEPENDS ...])
#       a module (shared library) whose exported entry routine is <entry>;
#       run it with zxrun or load it from a host (zentrix_host.h).
#   zentrix_add_console_program(<target> NAME <name> SOURCES <files> ...)
#       the console main program (MODE=CONSOLE) as an executable.
#   zentrix_add_mpi_program(<target> SOURCES <files> ...)
#       the MPI variant (MODE=MPI) as an executable for mpirun.

function(zentrix_convert out_var)
  cmake_parse_arguments(ZX "" "DIRECTORY" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  file(MAKE_DIRECTORY ${ZX_DIRECTORY})
  set(outputs)
  foreach(source ${ZX_SOURCES})
    get_filename_component(absolute ${source} ABSOLUTE)
    get_filename_component(name ${source} NAME_WE)
    get_filename_component(extension ${source} EXT)
    string(TOLOWER "${extension}" extension)
    if(extension STREQUAL ".f90")
      set(output ${ZX_DIRECTORY}/${name}.f90)
    else()
      set(output ${ZX_DIRECTORY}/${name}.f)
    endif()
    add_custom_command(OUTPUT ${output}
      COMMAND $<TARGET_FILE:convertor> ${ZX_SETTINGS} ${absolute} ${output}
      DEPENDS convertor ${absolute} ${ZX_DEPENDS}
      WORKING_DIRECTORY ${ZX_DIRECTORY}
      COMMENT "Converting ${source}"
      VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

function(zentrix_target_options target)
  # Converted code is old Fortran: Hollerith edit descriptors and the like.
  target_compile_options(${target} PRIVATE -std=legacy)
  set_target_properties(${target} PROPERTIES
    Fortran_MODULE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.modules)
endfunction()

function(zentrix_add_module target)
  cmake_parse_arguments(ZX "" "NAME" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS NAME=${ZX_NAME} ${ZX_SETTINGS} DEPENDS ${ZX_DEPENDS})
  add_library(${target} SHARED ${converted})
  target_link_libraries(${target} PRIVATE zentrix)
  zentrix_target_options(${target})
endfunction()

function(zentrix_add_console_program target)
  cmake_parse_arguments(ZX "" "NAME" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS NAME=${ZX_NAME} MODE=CONSOLE ${ZX_SETTINGS}
    DEPENDS ${ZX_DEPENDS})
  add_executable(${target} ${converted})
  target_link_libraries(${target} PRIVATE zentrix)
  zentrix_target_options(${target})
endfunction()

function(zentrix_add_mpi_program target)
  cmake_parse_arguments(ZX "" "" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  if(NOT TARGET zentrix_mpi)
    message(STATUS "No MPI: ${target} is not built")
    return()
  endif()
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS MODE=MPI ${ZX_SETTINGS} DEPENDS ${ZX_DEPENDS})
  add_executable(${target} ${converted})
  target_link_libraries(${target} PRIVATE zentrix_mpi)
  zentrix_target_options(${target})
endfunction()
