# Installation (GNUInstallDirs): the two libraries, the public headers, the
# tqprod tool with its man page and bash completion, the gtar wrapper when
# the tree has one, a CMake package configuration (find_package(tqprod50))
# and a pkg-config file (pkg-config --cflags --libs tqprod50).
include(CMakePackageConfigHelpers)

set(TQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tqprod50)

# Installed programs find the libraries beside them wherever the prefix is;
# the libraries find each other in their own directory.
file(RELATIVE_PATH _tq_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(tqplatform tqprod50 PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(tqprod PROPERTIES INSTALL_RPATH "$ORIGIN/${_tq_bin_to_lib}")

# Consumers of the installed package see the installed headers.
foreach(lib tqplatform tqprod50)
  target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()

install(TARGETS tqplatform tqprod50 EXPORT tqprod50Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS tqprod RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# Whole directories: headers added later are installed without a change here.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ ${PROJECT_SOURCE_DIR}/platform/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.h")

install(FILES ${PROJECT_SOURCE_DIR}/tools/tqprod/tqprod.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
# Where bash-completion loads it on demand.
install(FILES ${TQPROD_BASH_COMPLETION} RENAME tqprod
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT runtime)

# Debian has no gtar; the family's scripts and the library's archive
# assembly call it by that name. tools/gtar/CMakeLists.txt, when present,
# installs the wrapper itself.
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/gtar/gtar AND
   NOT EXISTS ${PROJECT_SOURCE_DIR}/tools/gtar/CMakeLists.txt)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/gtar/gtar
          DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

install(EXPORT tqprod50Targets NAMESPACE tqprod50:: DESTINATION ${TQ_INSTALL_CMAKEDIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tqprod50Config.cmake.in
                              ${PROJECT_BINARY_DIR}/tqprod50Config.cmake
                              INSTALL_DESTINATION ${TQ_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tqprod50ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tqprod50Config.cmake
              ${PROJECT_BINARY_DIR}/tqprod50ConfigVersion.cmake
        DESTINATION ${TQ_INSTALL_CMAKEDIR} COMPONENT development)

file(RELATIVE_PATH TQ_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" TQ_PC_TO_PREFIX "${TQ_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tqprod50.pc.in ${PROJECT_BINARY_DIR}/tqprod50.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tqprod50.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
