# minuit_tree_sources(<dir> <copy-dir> <sources-var> <depends-var>)
#
# Every fixed-form Fortran source of <dir> (*.f, *.for, *.f77, *.ftn in any
# letter case; not its subfolders) becomes a source of the module. The
# converter reads lines that end in CR LF only, so each file of <dir> is
# copied at build time into <copy-dir> with its line ends made CR LF, the
# INCLUDE files beside the sources included; <sources-var> receives the
# copies of the sources, <depends-var> the copies of the other files.
function(minuit_tree_sources dir copy_dir sources_var depends_var)
  get_filename_component(dir ${dir} ABSOLUTE)
  if(NOT IS_DIRECTORY ${dir})
    message(FATAL_ERROR "MINUIT_SOURCE_DIR: ${dir} is no directory")
  endif()
  file(GLOB files LIST_DIRECTORIES false CONFIGURE_DEPENDS ${dir}/*)
  set(sources)
  set(depends)
  foreach(file ${files})
    get_filename_component(name ${file} NAME)
    set(copy ${copy_dir}/${name})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${copy} -P ${MINUIT_CRLF_SCRIPT}
      DEPENDS ${file} ${MINUIT_CRLF_SCRIPT}
      COMMENT "Copying ${name} with CR LF line ends"
      VERBATIM)
    string(TOLOWER "${name}" lower)
    if(lower MATCHES "\\.(f|for|f77|ftn)$")
      list(APPEND sources ${copy})
    else()
      list(APPEND depends ${copy})
    endif()
  endforeach()
  if(NOT sources)
    message(FATAL_ERROR "MINUIT_SOURCE_DIR: no Fortran source (*.f, *.for, *.f77, *.ftn) in ${dir}")
  endif()
  set(${sources_var} ${sources} PARENT_SCOPE)
  set(${depends_var} ${depends} PARENT_SCOPE)
endfunction()

set(MINUIT_CRLF_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CrLf.cmake)
