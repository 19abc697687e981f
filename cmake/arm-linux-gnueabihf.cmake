# Cross-build for 32-bit ARM Linux with hardware floating point, Debian's armhf
# (Raspberry Pi OS): static, runs under qemu-arm-static.
set(GZ_CROSS_ARCH arm)
set(GZ_CROSS_TRIPLE arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
