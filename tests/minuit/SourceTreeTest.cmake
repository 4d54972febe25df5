# cmake -DREPOSITORY= -DWORK= -DCONVERTOR_EXECUTABLE= -DZENTRIX_LIBRARY=
#       -DZENTRIX_MODULE_DIR= -DGENERATOR= -DTEST_BINARY= -P SourceTreeTest.cmake
#
# Lays the project's own minimiser out as a user's MINUIT tree would come
# (lower-case names, LF line ends, a file that is no source), builds the module
# from it with -DMINUIT_SOURCE_DIR and -DMINUIT_SETTINGS, and runs the
# module tests against the result.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tree)
file(GLOB files ${REPOSITORY}/modules/minuit/minimiser/*)
foreach(file ${files})
  get_filename_component(name ${file} NAME)
  string(TOLOWER ${name} name)
  file(READ ${file} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  file(WRITE ${WORK}/tree/${name} "${text}")
endforeach()
file(WRITE ${WORK}/tree/README.txt "Not a source.\n")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run("configure" ${CMAKE_COMMAND} -S ${REPOSITORY}/tests/minuit/source-tree -B ${WORK}/build
  -G ${GENERATOR} -DREPOSITORY=${REPOSITORY} -DCONVERTOR_EXECUTABLE=${CONVERTOR_EXECUTABLE}
  -DZENTRIX_LIBRARY=${ZENTRIX_LIBRARY} -DZENTRIX_MODULE_DIR=${ZENTRIX_MODULE_DIR}
  -DMINUIT_SOURCE_DIR=${WORK}/tree "-DMINUIT_SETTINGS=UNITS=*,5,6,IURD,IUWR\;ERRLAB=8800")
run("build" ${CMAKE_COMMAND} --build ${WORK}/build)

# The settings reached the converter: the handler label is the one asked for.
file(READ ${WORK}/build/minuit/minimiser.converted/mncomd.f converted)
if(NOT converted MATCHES " 8800 CALL zx_IO_ERROR")
  message(FATAL_ERROR "MINUIT_SETTINGS did not reach the converter")
endif()

set(ENV{MINUIT_MODULE} ${WORK}/build/bin/Converted_Minuit/Minuit.so)
run("module tests" ${TEST_BINARY}
  "--gtest_filter=Parameters/KestrinScriptRun.*/2:MinuitModule.UnknownCommands*")
if(NOT output MATCHES "PASSED  \\] 2 tests")
  message(FATAL_ERROR "the module tests did not run:\n${output}")
endif()
