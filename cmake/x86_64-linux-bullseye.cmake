# The any-Linux build: Debian 11's GCC 10 and libraries from the tree that
# scripts/build-linux-sysroot unpacked (MARROWBY_LINUX_SYSROOT), so that the program
# asks for no glibc newer than 2.31, and the static freeglut, GLEW, SDL2 and
# SDL2_mixer that scripts/build-linux-deps installed (MARROWBY_LINUX_DEPS).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-linux-gnu)
# try_compile projects re-read this file without the command line's cache entries.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MARROWBY_LINUX_SYSROOT MARROWBY_LINUX_DEPS)
if(NOT IS_DIRECTORY "${MARROWBY_LINUX_SYSROOT}/usr/include")
    message(FATAL_ERROR
        "MARROWBY_LINUX_SYSROOT must name the tree that scripts/build-linux-sysroot prints")
endif()
# GCC finds its own headers, libstdc++ and crt files relative to where it lies; the
# host's assembler and linker serve it.
set(CMAKE_C_COMPILER ${MARROWBY_LINUX_SYSROOT}/usr/bin/${triplet}-gcc-10)
set(CMAKE_CXX_COMPILER ${MARROWBY_LINUX_SYSROOT}/usr/bin/${triplet}-g++-10)
set(CMAKE_AR ${MARROWBY_LINUX_SYSROOT}/usr/bin/${triplet}-gcc-ar-10 CACHE FILEPATH "")
set(CMAKE_RANLIB ${MARROWBY_LINUX_SYSROOT}/usr/bin/${triplet}-gcc-ranlib-10 CACHE FILEPATH "")
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
set(CMAKE_SYSROOT ${MARROWBY_LINUX_SYSROOT})
set(CMAKE_FIND_ROOT_PATH ${MARROWBY_LINUX_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${CMAKE_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
    ${CMAKE_SYSROOT}/usr/lib/${triplet}/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig)
# libGL.so.1 itself: minimal systems have it, not GLVND's libOpenGL.so.0.
set(OpenGL_GL_PREFERENCE LEGACY)
# libstdc++ and libgcc linked in: the program needs no C++ run time of the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
