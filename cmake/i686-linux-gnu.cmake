# Cross-build for 32-bit x86 Linux (static). An x86-64 host whose kernel runs
# 32-bit programs runs them itself; a kernel built without that (as some virtual
# machines' are) runs them under qemu-i386-static. A probe, built and started
# once, tells which. Doubles are computed with SSE2, each operation rounded to
# double as on every other processor, not in the x87's wider registers.
set(GZ_CROSS_ARCH i686)
if(NOT DEFINED GZ_CROSS_EMULATOR)
  set(probe_dir ${CMAKE_CURRENT_BINARY_DIR}/i686-probe)
  file(MAKE_DIRECTORY ${probe_dir})
  file(WRITE ${probe_dir}/probe.c "int main(void) { return 0; }\n")
  execute_process(COMMAND i686-linux-gnu-gcc -static probe.c -o probe
                  WORKING_DIRECTORY ${probe_dir} RESULT_VARIABLE built OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
  if(built EQUAL 0 AND NOT ran EQUAL 0)
    set(GZ_CROSS_EMULATOR qemu-i386-static)
  else()
    set(GZ_CROSS_EMULATOR "")
  endif()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
