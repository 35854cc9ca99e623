# GoogleTest built from Debian's `googletest` sources inside this tree, for
# targets the installed libgtest does not serve (the 32-bit build). It is
# built with this tree's compiler and flags, once, and only the test programs
# depend on it. The targets get the names FindGTest gives, and an empty
# package configuration makes tests/'s find_package(GTest) accept them.
if(NOT EXISTS ${TQ_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "TQ_GTEST_SOURCE_DIR=${TQ_GTEST_SOURCE_DIR} holds no GoogleTest sources "
                      "(install Debian's googletest package)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${TQ_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(lib gtest gtest_main gmock gmock_main)
  if(TARGET ${lib})
    # Warnings of third-party code are not ours to fix.
    target_compile_options(${lib} PRIVATE -w)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endif()
endforeach()
set(_tq_gtest_cfg ${CMAKE_BINARY_DIR}/gtest-from-source)
file(WRITE ${_tq_gtest_cfg}/GTestConfig.cmake
     "# GoogleTest targets come from ${TQ_GTEST_SOURCE_DIR}, built in this tree.\n")
set(GTest_DIR ${_tq_gtest_cfg} CACHE PATH "GoogleTest built from source" FORCE)
