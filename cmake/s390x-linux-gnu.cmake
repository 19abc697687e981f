# Cross-build for s390x Linux, a big-endian processor (static, runs under
# qemu-s390x-static).
set(GZ_CROSS_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
