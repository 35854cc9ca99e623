cmake_minimum_required(VERSION 3.25)
# Compares the dynamic symbol table of a shared library with the names its
# public headers declare with TQAPI, both ways: every exported name must be
# declared (nothing leaks), and every declared name must be exported
# (nothing is missing). The headers are read when the test runs.
#
#   cmake -DNM=<nm> -DLIBRARY=<lib.so> -DINCLUDE_DIR=<dir> -DUMBRELLA=<x.h>
#         -DAREA_DIR=<subdir> -DCOMPILER=<cc> -DFLAGS=<list>
#         -DINCLUDE_DIRS=<list> -DWORK_DIR=<dir> -P check_symbols.cmake
#
# The headers are <INCLUDE_DIR>/<UMBRELLA> and <INCLUDE_DIR>/<AREA_DIR>/*.h,
# read through the C preprocessor (TqDeclaredNames.cmake). With
# -DSELF_TEST=<header> -DEXPECTED=<file> it checks the header reader on a
# fixture instead.
include(${CMAKE_CURRENT_LIST_DIR}/TqDeclaredNames.cmake)

# Lists arrive from add_test with escaped separators.
foreach(v INCLUDE_DIRS FLAGS)
  string(REPLACE "\\;" ";" ${v} "${${v}}")
endforeach()

foreach(v COMPILER WORK_DIR)
  if(NOT ${v})
    message(FATAL_ERROR "check_symbols.cmake: ${v} is not set")
  endif()
endforeach()

if(SELF_TEST)
  tq_declared_names(found COMPILER "${COMPILER}" FLAGS ${FLAGS} INCLUDE_DIRS ${INCLUDE_DIRS}
                    WORK_DIR "${WORK_DIR}" HEADERS "${SELF_TEST}")
  file(STRINGS "${EXPECTED}" expected REGEX "^[A-Za-z_]")
  list(SORT expected)
  if(NOT found STREQUAL expected)
    string(REPLACE ";" " " found "${found}")
    string(REPLACE ";" " " expected "${expected}")
    message(FATAL_ERROR "header reader: found\n  ${found}\nexpected\n  ${expected}")
  endif()
  list(LENGTH found n)
  message(STATUS "header reader: ${n} names, as expected")
  return()
endif()

foreach(v NM LIBRARY INCLUDE_DIR UMBRELLA AREA_DIR INCLUDE_DIRS)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "check_symbols.cmake: ${v} is not set")
  endif()
endforeach()

file(GLOB area_headers "${INCLUDE_DIR}/${AREA_DIR}/*.h")
set(headers "${INCLUDE_DIR}/${UMBRELLA}" ${area_headers})
tq_declared_names(declared COMPILER "${COMPILER}" FLAGS ${FLAGS} INCLUDE_DIRS ${INCLUDE_DIRS}
                  WORK_DIR "${WORK_DIR}" HEADERS ${headers})

execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}"
                OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc ERROR_VARIABLE nm_err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} -D --defined-only ${LIBRARY} failed (${rc}): ${nm_err}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_out}")
set(exported "")
foreach(line IN LISTS nm_lines)
  # "<address> <type> <name>[@version]"
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ @]+)")
    continue()
  endif()
  set(type "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  # Linker-defined markers (_edata, _end, __bss_start: absolute) and the
  # ELF init/fini entries belong to every shared object.
  if(type STREQUAL "A" OR name MATCHES "^_(init|fini)$")
    continue()
  endif()
  list(APPEND exported "${name}")
endforeach()
list(REMOVE_DUPLICATES exported)
list(SORT exported)

# AddressSanitizer gives each exported global <name> a companion
# "__odr_asan.<name>" (its one-definition check across libraries). It is
# accepted for declared globals only; any other stays a leak.
set(odr_ok "")
foreach(name IN LISTS exported)
  if(name MATCHES "^__odr_asan[.](.+)$" AND CMAKE_MATCH_1 IN_LIST declared)
    list(APPEND odr_ok "${name}")
  endif()
endforeach()
if(odr_ok)
  list(REMOVE_ITEM exported ${odr_ok})
endif()

list(LENGTH declared n_declared)
list(LENGTH exported n_exported)
if(n_declared EQUAL 0)
  message(FATAL_ERROR "no TQAPI declaration found in: ${headers}")
endif()

set(leaked ${exported})
list(REMOVE_ITEM leaked ${declared})
set(missing ${declared})
if(exported)
  list(REMOVE_ITEM missing ${exported})
endif()

get_filename_component(lib_name "${LIBRARY}" NAME)
set(report "")
if(leaked)
  string(REPLACE ";" "\n  " l "${leaked}")
  string(APPEND report "${lib_name} exports names its headers do not declare:\n  ${l}\n")
endif()
if(missing)
  string(REPLACE ";" "\n  " m "${missing}")
  string(APPEND report "${lib_name} does not export names its headers declare:\n  ${m}\n")
endif()
if(report)
  message(FATAL_ERROR "${report}")
endif()
message(STATUS "${lib_name}: ${n_exported} exported names, exactly the ${n_declared} declared")
