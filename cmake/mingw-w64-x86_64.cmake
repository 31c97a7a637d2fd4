# Cross-compiling for 64-bit Windows with Debian's mingw-w64 GCC (posix threads).
# MARROWBY_WINDOWS_DEPS names the prefix where scripts/build-windows installed the
# static libraries; it is searched like the compiler's own sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

# try_compile projects re-read this file without the command line's cache entries.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MARROWBY_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet} ${MARROWBY_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
