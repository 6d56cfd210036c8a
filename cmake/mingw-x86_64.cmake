# 64-bit Windows build, the one the tests run under Wine: this machine's kernel runs no 32-bit
# code, so Wine here can only start 64-bit programs. The sources are the same as the shipped
# 32-bit build (cmake/mingw-i686.cmake).
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The 64-bit loader by name: with the 32-bit loader installed, the wine launcher would pick that.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
