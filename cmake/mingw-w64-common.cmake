# Shared part of the mingw-w64 toolchain files; the including file sets
# FX_MINGW_ARCH (x86_64 or i686) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${FX_MINGW_ARCH})

# The -posix compilers: their libstdc++ is built on winpthreads, so
# std::thread, std::mutex and std::condition_variable exist. The -win32
# variants of GCC 12 leave them out, and the engine uses them.
set(CMAKE_C_COMPILER ${FX_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${FX_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${FX_MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FX_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config looks at the target's modules only, never at the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${FX_MINGW_ARCH}-w64-mingw32/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Programs that need no mingw DLLs beside them: libgcc, libstdc++ and
# winpthreads linked in (-static covers all three; system DLLs stay imports).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
