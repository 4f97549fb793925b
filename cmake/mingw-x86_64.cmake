# 64-bit Windows cross build with MinGW-w64: the same tree, so that the
# Windows tests run under 64-bit Wine on machines that cannot execute 32-bit
# programs. The product stays the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KS_MINGW_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
