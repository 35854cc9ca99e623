# 32-bit (i386, ILP32) build on an amd64 Debian machine.
#
# Needs: g++-multilib, libsqlite3-0:i386 (after `dpkg --add-architecture i386`)
# and qemu-user. The compilers are the host's gcc/g++ with -m32; the amd64
# headers serve both builds. Test programs run through qemu-i386, which ctest
# prefixes to every test command (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# Search the host's headers and tools, but only 32-bit libraries: the
# multiarch i386 directory and the multilib /usr/lib32.
list(APPEND CMAKE_SYSTEM_LIBRARY_PATH /usr/lib/i386-linux-gnu /lib/i386-linux-gnu /usr/lib32)
set(CMAKE_FIND_USE_PACKAGE_REGISTRY OFF)
set(CMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY OFF)

# libsqlite3-0:i386 ships only the runtime name; link against it directly.
set(SQLite3_LIBRARY /usr/lib/i386-linux-gnu/libsqlite3.so.0 CACHE FILEPATH "32-bit SQLite")
set(SQLite3_INCLUDE_DIR /usr/include CACHE PATH "SQLite headers (shared by both builds)")

# Debian ships GoogleTest for amd64 only: build it from its sources with -m32
# inside this tree (see the top-level CMakeLists.txt).
set(TQ_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources built for this target")

find_program(TQ_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_QEMU_I386})
