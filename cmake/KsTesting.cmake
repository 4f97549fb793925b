# GoogleTest from Debian's sources, built with our compiler for either target.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# ks_add_test(<name> SOURCES ... [LIBS ...] [WIN32_ONLY] [NATIVE_ONLY] [TIMEOUT s]
#             [ENVIRONMENT VAR=value ...])
# One test executable is one CTest test: under Wine every process start
# costs, so the GoogleTest cases of a unit run in one process.
function(ks_add_test name)
  cmake_parse_arguments(T "WIN32_ONLY;NATIVE_ONLY" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  if((T_WIN32_ONLY AND NOT KS_WIN32) OR (T_NATIVE_ONLY AND KS_WIN32))
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()

# The folder of the test database templates, and the fixture that builds
# them (tests/db). ks_uses_test_db(<test>) makes a test wait for it.
set(KS_TEST_DB_DIR ${CMAKE_BINARY_DIR}/test-db)
function(ks_uses_test_db name)
  if(TARGET ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ks_test_db)
  endif()
endfunction()

# ks_uses_test_printer(<test>): the test prints on the PostScript test
# printer, installed in the Wine prefix by a fixture (tests/platform/forms).
function(ks_uses_test_printer name)
  if(TARGET ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ks_test_printer)
  endif()
endfunction()
