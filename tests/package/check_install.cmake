cmake_minimum_required(VERSION 3.25)
# Installs the build tree into a fresh prefix with `cmake --install` and
# builds a consumer program against it, then runs it (through EMULATOR when
# set).
#
#   MODE=find_package  configures consumer/ with find_package(tqprod50)
#   MODE=pkg-config    compiles consumer/consumer.c with the flags of
#                      `pkg-config --cflags --libs tqprod50`
#
# Other variables: BUILD_DIR, WORK_DIR, LIBDIR, INCLUDEDIR, BINDIR, MANDIR,
# C_COMPILER, C_FLAGS (list), GENERATOR, TOOLCHAIN_FILE, EXPECT_GTAR, EMULATOR.
set(src ${CMAKE_CURRENT_LIST_DIR}/consumer)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "${cmd}\nfailed (${rc}):\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What the install must hold.
set(expected
    ${LIBDIR}/libtqprod50.so ${LIBDIR}/libtqplatform.so
    ${INCLUDEDIR}/tqprod50.h ${INCLUDEDIR}/tqplatform.h
    ${INCLUDEDIR}/tqplatform/export.h ${INCLUDEDIR}/tqprod50/registry.h
    ${BINDIR}/tqprod ${MANDIR}/man1/tqprod.1
    ${LIBDIR}/cmake/tqprod50/tqprod50Config.cmake
    ${LIBDIR}/cmake/tqprod50/tqprod50ConfigVersion.cmake
    ${LIBDIR}/cmake/tqprod50/tqprod50Targets.cmake
    ${LIBDIR}/pkgconfig/tqprod50.pc)
if(EXPECT_GTAR)
  list(APPEND expected ${BINDIR}/gtar)
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "cmake --install did not install ${f}")
  endif()
endforeach()
# Every header of the source tree is installed (new ones included).
file(GLOB_RECURSE src_headers RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/*.h)
file(GLOB_RECURSE plat_headers RELATIVE ${SOURCE_DIR}/platform/include
     ${SOURCE_DIR}/platform/include/*.h)
foreach(h IN LISTS src_headers plat_headers)
  if(NOT EXISTS ${prefix}/${INCLUDEDIR}/${h})
    message(FATAL_ERROR "header ${h} is not installed")
  endif()
endforeach()

set(ENV{TQ_REGISTRY_DIR} ${WORK_DIR}/registry)
set(ENV{TQ_SYSROOT} ${WORK_DIR}/sysroot)
file(MAKE_DIRECTORY ${WORK_DIR}/sysroot)

# The installed tool finds the installed libraries by itself.
run(${EMULATOR} ${prefix}/${BINDIR}/tqprod set "SOFTWARE\\Tarquel\\Installed" Flags number 0xffffffff)
run(${EMULATOR} ${prefix}/${BINDIR}/tqprod get "SOFTWARE\\Tarquel\\Installed" Flags)
if(NOT run_output STREQUAL "-1\n")
  message(FATAL_ERROR "installed tqprod printed \"${run_output}\", expected -1")
endif()

if(MODE STREQUAL "find_package")
  set(args -S ${src} -B ${WORK_DIR}/build -G ${GENERATOR}
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
      -DEXPECTED_PREFIX=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  if(TOOLCHAIN_FILE)
    list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
  endif()
  if(C_FLAGS)
    string(REPLACE ";" " " flags "${C_FLAGS}")
    list(APPEND args "-DCMAKE_C_FLAGS=${flags}")
  endif()
  run(${CMAKE_COMMAND} ${args})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  set(program ${WORK_DIR}/build/consumer)
elseif(MODE STREQUAL "pkg-config")
  find_program(PKG_CONFIG NAMES pkg-config pkgconf REQUIRED)
  # Only the installed prefix: no system directory may answer.
  set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/${LIBDIR}/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  run(${PKG_CONFIG} --cflags --libs tqprod50)
  string(STRIP "${run_output}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  message(STATUS "pkg-config --cflags --libs tqprod50: ${pc_flags}")
  if(NOT pc_flags MATCHES "-ltqprod50" OR NOT pc_flags MATCHES "-I")
    message(FATAL_ERROR "pkg-config gave no include or library flags: ${pc_flags}")
  endif()
  set(program ${WORK_DIR}/consumer)
  run(${C_COMPILER} ${C_FLAGS} -std=c99 -Wall -Wextra -Werror ${src}/consumer.c -o ${program}
      ${pc_flags})
  set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})
else()
  message(FATAL_ERROR "MODE must be find_package or pkg-config")
endif()

run(${EMULATOR} ${program})
message(STATUS "${run_output}")
file(REMOVE_RECURSE ${WORK_DIR})
