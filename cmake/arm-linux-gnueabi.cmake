# The controller boards: ARMv5TE, soft float, Linux with glibc (Debian's armel
# cross toolchain). Programs built here run on this machine under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_C_FLAGS_INIT "-march=armv5te -mfloat-abi=soft")
# -Wno-psabi: the notes on an old ABI change only fill the build log.
set(CMAKE_CXX_FLAGS_INIT "-march=armv5te -mfloat-abi=soft -Wno-psabi")

set(MLAS_ARM_SYSROOT /usr/arm-linux-gnueabi)
# zlib for armel, unpacked from Debian's package by .ci/arm-deps.
get_filename_component(MLAS_ARM_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build/arm-deps ABSOLUTE)
if(NOT EXISTS ${MLAS_ARM_DEPS}/usr/include/zlib.h)
  message(FATAL_ERROR "zlib for armel is missing from ${MLAS_ARM_DEPS}: run .ci/arm-deps first")
endif()

set(CMAKE_FIND_ROOT_PATH ${MLAS_ARM_SYSROOT} ${MLAS_ARM_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${MLAS_ARM_SYSROOT})
