# Shared part of the MinGW-w64 cross toolchains; the including file sets
# KS_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
# Posix thread model (std::mutex and GoogleTest need it); everything links
# statically, so the binaries need no MinGW runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KS_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine through our wrapper, which picks the 32- or 64-bit
# loader from the program itself (see tools/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
