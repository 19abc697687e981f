# Cross-build for 64-bit ARM Linux (static, runs under qemu-aarch64-static).
set(GZ_CROSS_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
