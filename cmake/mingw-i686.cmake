# The shipped 32-bit Windows build. This machine's kernel runs no 32-bit code: the test script runs
# these programs on Wine's 32-bit loader under qemu-i386 (tests/win32_shipped/run.sh), slowly, and
# the module tests run the 64-bit build of the same sources (cmake/mingw-x86_64.cmake).
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
