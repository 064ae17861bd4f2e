# Cross-compiling for 32-bit Windows with mingw-w64:
#   cmake -S . -B build-windows-i686 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# There is no 32-bit Wine here: the build is compiled and linked, not run.
set(FX_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
