# The shipped 32-bit Windows build. Wine on this machine cannot start 32-bit programs (the kernel
# runs no 32-bit code), so this build is compiled and linked only; tests run the 64-bit build
# (cmake/mingw-x86_64.cmake), as scripts/test.sh does.
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
