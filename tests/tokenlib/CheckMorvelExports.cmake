# Morvel.dll must export exactly its four entry points under undecorated names
# (DllMain is not one of them), and import nothing but KERNEL32 and msvcrt.
# It reads the file only, so it runs where the DLL's Wine cannot.
# Run: cmake -DOBJDUMP=<objdump> -DDLL=<Morvel.dll> -P CheckMorvelExports.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/PeImports.cmake)
pe_dump(${DLL} dump)
pe_imports("${dump}" imports)

# Square brackets would group CMake list items: take them out first.
string(REPLACE "[" "<" dump "${dump}")
string(REPLACE "]" ">" dump "${dump}")
string(REGEX MATCH "<Ordinal/Name Pointer> Table\n([^\n]+\n)+" table "${dump}")
string(REGEX MATCHALL "<[ 0-9]+> [^\n]+" entries "${table}")
set(exports)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^<[ 0-9]+> " "" name "${entry}")
  list(APPEND exports "${name}")
endforeach()
list(SORT exports)
set(expected FreeBuffMemory GenCertRequests GenCertRequestsEKU InstallCertificate)
if(NOT exports STREQUAL expected)
  message(FATAL_ERROR "exports: '${exports}', expected '${expected}'")
endif()

set(system_dlls kernel32.dll msvcrt.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "imports ${dll}; only KERNEL32 and msvcrt are allowed")
  endif()
endforeach()
message(STATUS "exports: ${exports}")
