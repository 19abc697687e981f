# Cross-build for 32-bit x86 Linux (static); an x86-64 host runs its programs
# itself, without an emulator. Doubles are computed with SSE2, each operation
# rounded to double as on every other processor, not in the x87's wider registers.
set(GZ_CROSS_ARCH i686)
set(GZ_CROSS_EMULATOR "")
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
