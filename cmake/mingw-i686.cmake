# 32-bit Windows cross build with MinGW-w64 (posix thread model: std::mutex
# and GoogleTest need it). Everything links statically, so the binaries need
# no MinGW runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KS_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${KS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KS_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic: x87's extra precision makes equal doubles compare unequal
# once one of them has been stored to memory.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine through our wrapper (see tools/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
