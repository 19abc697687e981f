# Cross-build for Linux on the processor GZ_CROSS_ARCH with Debian's cross
# compiler, linked statically so qemu-<arch>-static runs the program and its
# tests directly (ctest goes through it). Included by <arch>-linux-gnu.cmake.
# GZ_CROSS_TRIPLE names the compiler where it isn't <arch>-linux-gnu, and
# GZ_CROSS_EMULATOR the emulator ("" where the host runs the programs itself).
if(NOT DEFINED GZ_CROSS_TRIPLE)
  set(GZ_CROSS_TRIPLE ${GZ_CROSS_ARCH}-linux-gnu)
endif()
if(NOT DEFINED GZ_CROSS_EMULATOR)
  set(GZ_CROSS_EMULATOR qemu-${GZ_CROSS_ARCH}-static)
endif()
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${GZ_CROSS_ARCH})
set(CMAKE_C_COMPILER ${GZ_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${GZ_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${GZ_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${GZ_CROSS_EMULATOR})
