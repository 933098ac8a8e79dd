# Cross build for IBM Z Linux (s390x, 64-bit and big-endian) with Debian's cross compilers
# (g++-s390x-linux-gnu), whose libraries for the target are in /usr/s390x-linux-gnu:
#   cmake -S . -B build/x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x-linux-gnu.cmake
# The s390x preset uses it. Test programs run under user-mode QEMU (qemu-user), which
# ctest and the discovery of the GoogleTest cases call through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
# GoogleTest's own project enables C as well.
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)

# Libraries, headers and packages for the target only, never the host's; programs from the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the dynamic loader and the libraries of the target.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x;-L;/usr/s390x-linux-gnu)
