# Cross-compiling for 32-bit Windows with mingw-w64 (package g++-mingw-w64-i686-posix);
# its tests run in a 32-bit Wine prefix (package wine32).
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VK_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
