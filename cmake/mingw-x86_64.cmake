# 64-bit Windows build, the one the module tests run under Wine: it runs natively, while the
# shipped 32-bit build (cmake/mingw-i686.cmake) needs Wine's 32-bit loader under emulation.
# The sources are the same.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The 64-bit loader by name: with the 32-bit loader installed, the wine launcher would pick that.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
