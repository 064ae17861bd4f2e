# Cross-compiling for 64-bit Windows with mingw-w64:
#   cmake -S . -B build-windows-x86_64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test programs run under wine64 (ctest), in a Wine prefix of their own
# inside the build folder, without a display.
set(FX_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

find_program(FX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(FX_WINE64 NAMES wine64)
if(FX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${FX_WINE64} ${CMAKE_BINARY_DIR}/wineprefix)
endif()
