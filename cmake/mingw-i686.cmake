# 32-bit Windows cross build with MinGW-w64: the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KS_MINGW_TRIPLE i686-w64-mingw32)

# SSE2 arithmetic: x87's extra precision makes equal doubles compare unequal
# once one of them has been stored to memory.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
