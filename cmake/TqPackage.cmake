# Debian package of everything `cmake --install` installs:
#   cpack -G DEB --config <build>/CPackConfig.cmake
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for Debian's multiarch library
# directory (lib/<triplet>); GNUInstallDirs does not choose it in a cross
# build, so the i386 preset names it (CMAKE_INSTALL_LIBDIR). Dependencies
# come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tqprod50)
set(CPACK_PACKAGE_VENDOR "Tarquel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "libtqprod50 records which products are installed, at which version, service pack\n\
and hot-fix level, with which role flags; copies, backs up and restores parts of\n\
the registry; lists the products on installation media. Contains the libraries\n\
libtqprod50 and libtqplatform, their C headers, CMake and pkg-config files, the\n\
tqprod tool with its bash completion and a gtar compatibility wrapper.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "libtqprod50 maintainers <tqprod50@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tar, gzip")
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_CROSSCOMPILING)
  # dpkg-shlibdeps would map the multilib /usr/lib32 libraries to amd64
  # packages; name the i386 ones.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "tar, gzip, libc6, libstdc++6, libgcc-s1, libsqlite3-0")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# Stripped binaries, as Debian ships them.
set(CPACK_STRIP_FILES ON)
include(CPack)
