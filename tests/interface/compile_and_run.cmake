cmake_minimum_required(VERSION 3.25)
# Compiles one source against the public headers with warnings as errors,
# links it with both libraries and runs it (through EMULATOR when set) on a
# fresh registry. The headers are read when the test runs.
#
#   cmake -DCOMPILER=<cc> -DFLAGS=<list> -DSOURCE=<file> -DOUTPUT=<exe>
#         -DINCLUDE_DIRS=<list> -DLIBRARIES=<list> [-DEMULATOR=<list>]
#         -P compile_and_run.cmake
foreach(v COMPILER SOURCE OUTPUT INCLUDE_DIRS LIBRARIES)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "compile_and_run.cmake: ${v} is not set")
  endif()
endforeach()

set(args ${FLAGS})
foreach(dir IN LISTS INCLUDE_DIRS)
  list(APPEND args "-I${dir}")
endforeach()
list(APPEND args "${SOURCE}" -o "${OUTPUT}")
foreach(lib IN LISTS LIBRARIES)
  get_filename_component(libdir "${lib}" DIRECTORY)
  list(APPEND args "${lib}" "-Wl,-rpath,${libdir}")
endforeach()

string(REPLACE ";" " " shown "${COMPILER} ${args}")
message(STATUS "${shown}")
execute_process(COMMAND "${COMPILER}" ${args} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "compiling ${SOURCE} against the public header failed")
endif()

get_filename_component(outdir "${OUTPUT}" DIRECTORY)
string(MAKE_C_IDENTIFIER "${OUTPUT}" tag)
set(regdir "${outdir}/${tag}.registry")
file(REMOVE_RECURSE "${regdir}")
file(MAKE_DIRECTORY "${regdir}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "TQ_REGISTRY_DIR=${regdir}" "TQ_SYSROOT=${regdir}"
          ${EMULATOR} "${OUTPUT}"
  RESULT_VARIABLE rc)
file(REMOVE_RECURSE "${regdir}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} failed (${rc})")
endif()
