cmake_minimum_required(VERSION 3.25)
# MODE install_find_package / install_pkg-config: installs the build tree
# into a fresh prefix with `cmake --install`; MODE deb: builds the Debian
# package with CPack, checks its control fields and listing, and unpacks it.
# Either way the result must hold every expected file and its tqprod must
# run; then the interface's C consumer is built against the installed prefix
# and run (through EMULATOR when set).
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${rc}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "deb")
  get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
  run(${cmake_bin}/cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
  # DEB: the file name Debian gives the package of this build's architecture.
  set(deb ${WORK_DIR}/${DEB})
  if(NOT EXISTS ${deb})
    file(GLOB made ${WORK_DIR}/*.deb)
    message(FATAL_ERROR "no ${DEB}, but: ${made}")
  endif()
  run(dpkg-deb -f ${deb} Package Depends)
  set(fields "${out}")
  run(dpkg-deb -c ${deb})
  if(NOT fields MATCHES "^Package: tqprod50\nDepends:[^\n]*libsqlite3-0" OR out MATCHES "gtest|test_|tqtest"
     OR NOT out MATCHES "-rwxr-xr-x [^\n]*${BINDIR}/tqprod\n")
    message(FATAL_ERROR "unexpected control fields, test files or no executable tqprod:\n${fields}${out}")
  endif()
  # The i386 package installs beside the native one: Debian's multiarch
  # library directory, never the native one.
  if(DEB MATCHES "_i386\\.deb$" AND NOT out MATCHES " \\./usr/lib/i386-linux-gnu/libtqprod50\\.so\n")
    message(FATAL_ERROR "the i386 package has no libtqprod50.so in /usr/lib/i386-linux-gnu:\n${out}")
  endif()
  run(dpkg-deb -x ${deb} ${WORK_DIR}/root)
  set(prefix ${WORK_DIR}/root${PREFIX})
else()
  set(prefix ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()

# Every header of the source tree is installed, new ones included.
set(completion ${DATADIR}/bash-completion/completions/tqprod)
set(files ${LIBDIR}/libtqprod50.so ${LIBDIR}/libtqplatform.so ${BINDIR}/tqprod ${MANDIR}/man1/tqprod.1
    ${LIBDIR}/pkgconfig/tqprod50.pc ${LIBDIR}/cmake/tqprod50/tqprod50Config.cmake ${completion})
foreach(dir include platform/include)
  file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR}/${dir} ${SOURCE_DIR}/${dir}/*.h)
  list(TRANSFORM headers PREPEND ${INCLUDEDIR}/)
  list(APPEND files ${headers})
endforeach()
if(EXISTS ${SOURCE_DIR}/tools/gtar/gtar)
  list(APPEND files ${BINDIR}/gtar)
endif()
foreach(f IN LISTS files)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "${MODE}: ${f} is missing")
  endif()
endforeach()
file(STRINGS ${prefix}/${completion} registration REGEX "^complete -F _tqprod tqprod$")
if(NOT registration)
  message(FATAL_ERROR "${MODE}: ${completion} registers no completion for tqprod")
endif()
# The installed tool finds the installed libraries by itself.
set(ENV{TQ_REGISTRY_DIR} ${WORK_DIR}/registry)
set(ENV{TQ_SYSROOT} ${WORK_DIR})
run(${EMULATOR} ${prefix}/${BINDIR}/tqprod set "SOFTWARE\\Tarquel\\I" Flags number 0xffffffff)
run(${EMULATOR} ${prefix}/${BINDIR}/tqprod get "SOFTWARE\\Tarquel\\I" Flags)
if(NOT out STREQUAL "-1\n")
  message(FATAL_ERROR "the installed tqprod printed \"${out}\", not -1")
endif()

set(consumer ${SOURCE_DIR}/tests/interface/c_consumer.c)
if(MODE STREQUAL "install_find_package")
  run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
      -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${C_FLAGS}" -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
      -DCMAKE_PREFIX_PATH=${prefix} -DEXPECTED_PREFIX=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      -DSOURCE=${consumer})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  run(${EMULATOR} ${WORK_DIR}/build/consumer)
elseif(MODE STREQUAL "install_pkg-config")
  # Only the installed prefix may answer, no system directory.
  set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/${LIBDIR}/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  run(pkg-config --cflags --libs tqprod50)
  separate_arguments(pc UNIX_COMMAND "${out}")
  separate_arguments(flags UNIX_COMMAND "${C_FLAGS}")
  run(${C_COMPILER} ${flags} -std=c99 -pedantic -Wall -Wextra -Werror ${consumer} -o ${WORK_DIR}/c ${pc})
  set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})
  run(${EMULATOR} ${WORK_DIR}/c)
endif()
file(REMOVE_RECURSE ${WORK_DIR})
