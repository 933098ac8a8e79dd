# Cross build for 64-bit Arm Linux with Debian's cross compilers (g++-aarch64-linux-gnu),
# whose libraries for the target are in /usr/aarch64-linux-gnu:
#   cmake -S . -B build/x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
# The aarch64 preset uses it. Test programs run under user-mode QEMU (qemu-user), which
# ctest and the discovery of the GoogleTest cases call through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# GoogleTest's own project enables C as well.
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)

# Libraries, headers and packages for the target only, never the host's; programs from the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the dynamic loader and the libraries of the target.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-L;/usr/aarch64-linux-gnu)
