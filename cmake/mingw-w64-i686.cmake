# Cross-build for 32-bit Windows with Debian's MinGW-w64, as for 64-bit Windows.
# Doubles are computed with SSE2, each operation rounded to double as on every
# other processor, not in the x87's wider registers.
set(gz_mingw i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
