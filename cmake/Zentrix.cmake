# Building converted Fortran with the run-time library Zentrix, in this
# source tree and, installed, through find_package(Zentrix).
#
#   zentrix_convert(<out-var> DIRECTORY <dir> SOURCES <files>
#                   [SETTINGS KEY=value ...] [DEPENDS <files>])
#       converts each source with convertor at build time into <dir>
#       (NAME.f; a free-form source keeps its extension: .f90, .f95, .f03,
#       .f08) and returns the outputs. Sources of the same name from
#       different folders are converted into folders of their own.
#       Sources may end their lines in LF or CR LF. The INCLUDE files a
#       conversion expands are found by the converter itself (a dependency
#       file), so editing one converts its sources again; DEPENDS adds files
#       the converter cannot see. The outputs carry line markers (LINES=Y):
#       compiler messages name the user's file and line (SETTINGS LINES=N
#       leaves them out).
#   zentrix_add_module(<target> NAME <entry> SOURCES <files> [SETTINGS ...] [DEPENDS ...]
#                      [OUTPUT_NAME <file name without suffix>] [OUTPUT_DIRECTORY <dir>])
#       a module (shared library) whose exported entry routine is <entry>;
#       run it with zxrun or load it from a host (zentrix_host.h). The module
#       records <entry> in the exported string zx_entry_name, which the
#       server ostrel reads. Undefined symbols (a missing source) are link
#       errors, not errors at load time. With OUTPUT_NAME the file is <name>.so (no "lib"
#       prefix), e.g. OUTPUT_NAME Minuit OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin/Converted_Minuit.
#   zentrix_add_console_program(<target> NAME <name> SOURCES <files> ...)
#       the console main program (MODE=CONSOLE) as an executable.
#   zentrix_add_mpi_program(<target> SOURCES <files> ...)
#       the MPI variant (MODE=MPI) as an executable for mpirun.

# Ninja reads the dependency files as the Makefiles do (CMake rewrites their
# paths for it); projects that require an older CMake would get a warning.
if(POLICY CMP0116)
  cmake_policy(SET CMP0116 NEW)
endif()

# The targets: this tree's own, or the imported ones of the installed package.
function(_zentrix_target out_var name)
  if(TARGET Zentrix::${name})
    set(${out_var} Zentrix::${name} PARENT_SCOPE)
  else()
    set(${out_var} ${name} PARENT_SCOPE)
  endif()
endfunction()

# A clear message instead of CMake's own when the project lacks Fortran.
function(_zentrix_require_fortran caller)
  get_property(enabled GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT Fortran IN_LIST enabled)
    message(FATAL_ERROR "${caller} needs the language Fortran: "
      "project(<name> LANGUAGES Fortran)")
  endif()
endfunction()

# The converted file of a source: free-form sources keep their extension so
# that the compiler reads them as free form again.
function(_zentrix_converted_name out_var source)
  get_filename_component(name ${source} NAME_WE)
  get_filename_component(extension ${source} EXT)
  string(TOLOWER "${extension}" extension)
  if(extension MATCHES "^\\.f(90|95|03|08)$")
    set(${out_var} ${name}${extension} PARENT_SCOPE)
  else()
    set(${out_var} ${name}.f PARENT_SCOPE)
  endif()
endfunction()

function(zentrix_convert out_var)
  cmake_parse_arguments(ZX "" "DIRECTORY" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  _zentrix_target(convertor convertor)
  file(MAKE_DIRECTORY ${ZX_DIRECTORY})
  set(outputs)
  set(taken)
  foreach(source ${ZX_SOURCES})
    get_filename_component(absolute ${source} ABSOLUTE)
    _zentrix_converted_name(converted_name ${source})
    string(TOLOWER "${converted_name}" key)
    if(key IN_LIST taken)
      # Another source of this name: a folder named after this one's folder.
      get_filename_component(folder ${absolute} DIRECTORY)
      string(MD5 folder_key "${folder}")
      string(SUBSTRING "${folder_key}" 0 8 folder_key)
      set(output ${ZX_DIRECTORY}/${folder_key}/${converted_name})
      file(MAKE_DIRECTORY ${ZX_DIRECTORY}/${folder_key})
    else()
      list(APPEND taken "${key}")
      set(output ${ZX_DIRECTORY}/${converted_name})
    endif()
    # DEPFILE: CMake 3.20 and newer, Makefiles and Ninja alike.
    if(CMAKE_VERSION VERSION_LESS 3.20)
      set(depfile_options)
      set(depfile_arguments)
    else()
      set(depfile_options DEPFILE ${output}.d)
      set(depfile_arguments --depfile ${output}.d)
    endif()
    # Sources written on Linux end their lines in LF; -q: make shows the
    # COMMENT, the status line would only repeat it.
    add_custom_command(OUTPUT ${output}
      COMMAND ${convertor} -q --accept-lf ${depfile_arguments} LINES=Y ${ZX_SETTINGS} -- ${absolute} ${output}
      DEPENDS ${convertor} ${absolute} ${ZX_DEPENDS}
      ${depfile_options}
      WORKING_DIRECTORY ${ZX_DIRECTORY}
      COMMENT "Converting ${source}"
      VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

# zentrix_target_options(<target> [<converted sources>])
function(zentrix_target_options target)
  set(converted ${ARGN})
  # Converted code is old Fortran: Hollerith edit descriptors and the like.
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:Fortran>:-std=legacy>)
  set_target_properties(${target} PROPERTIES
    Fortran_MODULE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.modules)
  # Converted code uses the module Zentrix: compile it again when the
  # library's module file changes (CMake sees only its own projects' modules).
  if(ZENTRIX_MODULE_FILE AND converted)
    set_property(SOURCE ${converted} APPEND PROPERTY OBJECT_DEPENDS ${ZENTRIX_MODULE_FILE})
  endif()
endfunction()

# The entry routine's name as the converter was told, for hosts that load
# the module without being told its entry: the exported NUL-terminated
# string zx_entry_name, written in Fortran so that no C compiler is needed.
function(_zentrix_entry_record out_var target entry)
  if(NOT entry MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "zentrix_add_module(${target}): NAME ${entry} is no Fortran name")
  endif()
  string(LENGTH "${entry}" length)
  math(EXPR size "${length} + 1")
  set(letters)
  string(REGEX MATCHALL "." characters "${entry}")
  foreach(character ${characters})
    string(APPEND letters "'${character}', ")
  endforeach()
  set(record ${CMAKE_CURRENT_BINARY_DIR}/${target}.entry.f90)
  file(CONFIGURE OUTPUT ${record} CONTENT "! Generated by zentrix_add_module: the module's entry routine.
module zx_entry_record_${target}
  use, intrinsic :: iso_c_binding, only: c_char, c_null_char
  implicit none
  character(kind=c_char), bind(C, name='zx_entry_name') :: entry_name(${size}) = &
    [character(kind=c_char) :: ${letters}c_null_char]
end module
" @ONLY)
  set(${out_var} ${record} PARENT_SCOPE)
endfunction()

function(zentrix_add_module target)
  cmake_parse_arguments(ZX "" "NAME;OUTPUT_NAME;OUTPUT_DIRECTORY" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  _zentrix_require_fortran(zentrix_add_module)
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS NAME=${ZX_NAME} ${ZX_SETTINGS} DEPENDS ${ZX_DEPENDS})
  _zentrix_entry_record(entry_record ${target} ${ZX_NAME})
  add_library(${target} SHARED ${converted} ${entry_record})
  _zentrix_target(zentrix zentrix)
  target_link_libraries(${target} PRIVATE ${zentrix} ${CMAKE_DL_LIBS})
  # A routine no source defines is an error now, not when a host loads it.
  target_link_options(${target} PRIVATE LINKER:--no-undefined)
  zentrix_target_options(${target} "${converted}")
  if(ZX_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${ZX_OUTPUT_NAME})
  endif()
  if(ZX_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZX_OUTPUT_DIRECTORY})
  endif()
endfunction()

function(zentrix_add_console_program target)
  cmake_parse_arguments(ZX "" "NAME" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  _zentrix_require_fortran(zentrix_add_console_program)
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS NAME=${ZX_NAME} MODE=CONSOLE ${ZX_SETTINGS}
    DEPENDS ${ZX_DEPENDS})
  add_executable(${target} ${converted})
  _zentrix_target(zentrix zentrix)
  target_link_libraries(${target} PRIVATE ${zentrix})
  zentrix_target_options(${target} "${converted}")
endfunction()

function(zentrix_add_mpi_program target)
  cmake_parse_arguments(ZX "" "" "SOURCES;SETTINGS;DEPENDS" ${ARGN})
  _zentrix_require_fortran(zentrix_add_mpi_program)
  _zentrix_target(zentrix_mpi zentrix_mpi)
  if(NOT TARGET ${zentrix_mpi})
    message(FATAL_ERROR "zentrix_add_mpi_program(${target}) needs the MPI variant of Zentrix and "
      "MPI for C and Fortran: install libopenmpi-dev openmpi-bin, and give the project the "
      "languages C and Fortran")
  endif()
  zentrix_convert(converted DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}.converted
    SOURCES ${ZX_SOURCES} SETTINGS MODE=MPI ${ZX_SETTINGS} DEPENDS ${ZX_DEPENDS})
  add_executable(${target} ${converted})
  target_link_libraries(${target} PRIVATE ${zentrix_mpi})
  zentrix_target_options(${target} "${converted}")
endfunction()
