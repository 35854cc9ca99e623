cmake_minimum_required(VERSION 3.25)
# Builds the Debian package of the build tree with CPack and checks with
# dpkg-deb what it holds and what it depends on.
#
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DPREFIX=/usr/local -DLIBDIR=lib
#         -DINCLUDEDIR=include -DBINDIR=bin -DMANDIR=share/man
#         -DEXPECT_GTAR=ON|OFF -P check_deb.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "${cmd}\nfailed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

get_filename_component(cpack_dir ${CMAKE_COMMAND} DIRECTORY)
run(${cpack_dir}/cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
file(GLOB debs ${WORK_DIR}/*.deb)
list(LENGTH debs n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${WORK_DIR}, found: ${debs}")
endif()

run(dpkg-deb -c ${debs})
set(listing "${run_output}")
string(REGEX REPLACE "^/" "" p "${PREFIX}")
set(expected
    ${p}/${LIBDIR}/libtqprod50.so ${p}/${LIBDIR}/libtqplatform.so
    ${p}/${INCLUDEDIR}/tqprod50.h ${p}/${INCLUDEDIR}/tqplatform.h
    ${p}/${INCLUDEDIR}/tqprod50/registry.h ${p}/${INCLUDEDIR}/tqplatform/registry.h
    ${p}/${BINDIR}/tqprod ${p}/${MANDIR}/man1/tqprod.1
    ${p}/${LIBDIR}/cmake/tqprod50/tqprod50Config.cmake
    ${p}/${LIBDIR}/pkgconfig/tqprod50.pc)
if(EXPECT_GTAR)
  list(APPEND expected ${p}/${BINDIR}/gtar)
endif()
foreach(f IN LISTS expected)
  string(REGEX REPLACE "([.+])" "\\\\\\1" re "${f}")
  if(NOT listing MATCHES " \\./${re}(\n| )")
    message(FATAL_ERROR "the package lacks ${f}:\n${listing}")
  endif()
endforeach()
# Programs are executable; nothing of the test suite or of GoogleTest.
if(NOT listing MATCHES "-rwxr-xr-x [^\n]* \\./${p}/${BINDIR}/tqprod\n")
  message(FATAL_ERROR "tqprod is not installed executable:\n${listing}")
endif()
if(listing MATCHES "(gtest|gmock|test_[a-z_]*\n|tqtest)")
  message(FATAL_ERROR "the package holds test files (${CMAKE_MATCH_1}):\n${listing}")
endif()

run(dpkg-deb -f ${debs} Package Architecture Depends)
message(STATUS "${run_output}")
if(NOT run_output MATCHES "Package: tqprod50\n" OR NOT run_output MATCHES "Depends:[^\n]*libsqlite3-0")
  message(FATAL_ERROR "unexpected control fields:\n${run_output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
