# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads),
# with the C and C++ runtimes linked in statically: one self-contained .exe.
# mingw-w64-i686.cmake names its own processor and compilers, then comes here.
if(NOT DEFINED gz_mingw)
  set(gz_mingw x86_64-w64-mingw32)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${gz_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${gz_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${gz_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${gz_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
