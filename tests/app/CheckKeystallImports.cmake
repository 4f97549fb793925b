# Keystall.exe imports only libraries that are cheap to load or that its
# start-up needs anyway. The file dialogs' and the shell's libraries (with
# the printing system behind them) cost a start-up under Wine more than the
# window itself: they are bound when first used (forms/LateBound.h).
# The system's own user library loads imm32.dll for the first edit window
# anyway, so importing it costs nothing.
# It reads the file only, so it runs where the program's Wine cannot.
# Run: cmake -DOBJDUMP=<objdump> -DEXE=<Keystall.exe> -P CheckKeystallImports.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/PeImports.cmake)
pe_dump(${EXE} dump)
pe_imports("${dump}" imports)
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
set(allowed advapi32.dll comctl32.dll crypt32.dll gdi32.dll imm32.dll kernel32.dll msimg32.dll
            msvcrt.dll user32.dll version.dll ws2_32.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST allowed)
    message(FATAL_ERROR "Keystall.exe imports ${dll}, which its start-up does not need: bind it "
                        "when first used, or allow it here when it is cheap")
  endif()
endforeach()
message(STATUS "imports: ${imports}")
