# Cross-compiling for 64-bit Arm Linux (Debian 12 arm64, Raspberry Pi OS 64-bit) with
# Debian's aarch64-linux-gnu GCC. MARROWBY_ARM64_SYSROOT names the tree that
# scripts/build-arm64-sysroot unpacked from Debian's arm64 packages: headers,
# libraries and pkg-config files come from there alone, and qemu runs the test
# programs inside it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
# Debian's multiarch folder; packaging/CMakeLists.txt names the package's
# architecture from it.
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})

# try_compile projects re-read this file without the command line's cache entries.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MARROWBY_ARM64_SYSROOT)
if(NOT IS_DIRECTORY "${MARROWBY_ARM64_SYSROOT}/usr/include")
    message(FATAL_ERROR
        "MARROWBY_ARM64_SYSROOT must name the tree that scripts/build-arm64-sysroot prints")
endif()
set(CMAKE_SYSROOT ${MARROWBY_ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The host's pkg-config, reading only the sysroot's .pc files.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${CMAKE_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
    ${CMAKE_SYSROOT}/usr/lib/${triplet}/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig)

# Test programs run under qemu-user with the sysroot's loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L ${CMAKE_SYSROOT})
