# libFuzzer targets: built only with KS_FUZZ=ON and clang, natively, never
# in CI. A build of their own, of these targets only:
#
#   cmake -S . -B build/fuzz -G Ninja -DKS_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
#   cmake --build build/fuzz --target fuzz_xml_parser fuzz_cert_strings fuzz_zip_archive \
#         fuzz_http_answer fuzz_infix fuzz_grid_import
#   build/fuzz/bin/fuzz_xml_parser -max_total_time=600 <new corpus dir> tests/common/fuzz/xml
#
# Seed corpora: tests/common/fuzz/xml, tests/app/fuzz/cert, tests/zip/fuzz/archive,
# tests/platform/net/fuzz/answer, tests/COMPONENTS/fuzz/infix,
# tests/COMPONENTS/kslib/fuzz/import.
#
# The fuzzers and every library they link are built with AddressSanitizer,
# UndefinedBehaviorSanitizer and the fuzzer's coverage. Clang has no
# -fexec-charset other than UTF-8, so in these targets narrow literals stay
# UTF-8: fine for finding crashes, not for checking Russian texts.
include_guard(GLOBAL)

option(KS_FUZZ "Build the libFuzzer targets (clang, native)" OFF)

if(KS_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KS_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
endif()

# Our libraries `target` links, directly or through others.
function(_ks_fuzz_closure target out)
  set(seen ${${out}})
  get_target_property(libs ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(lib IN LISTS libs interface)
    if(TARGET ${lib} AND NOT lib IN_LIST seen)
      get_target_property(imported ${lib} IMPORTED)
      if(NOT imported)
        list(APPEND seen ${lib})
        _ks_fuzz_closure(${lib} seen)
      endif()
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(_ks_fuzz_instrument target sanitizers)
  get_target_property(options ${target} COMPILE_OPTIONS)
  if(options)
    list(REMOVE_ITEM options -fexec-charset=CP1251)
    set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS ${options})
  endif()
  target_compile_options(${target} PRIVATE -fsanitize=${sanitizers},address,undefined
                         -fno-omit-frame-pointer)
endfunction()

# ks_add_fuzzer(<name> SOURCES ... LIBS ...)
function(ks_add_fuzzer name)
  if(NOT KS_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  _ks_fuzz_instrument(${name} fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(libs "")
  _ks_fuzz_closure(${name} libs)
  foreach(lib IN LISTS libs)
    get_target_property(instrumented ${lib} KS_FUZZ_INSTRUMENTED)
    if(NOT instrumented)
      _ks_fuzz_instrument(${lib} fuzzer-no-link)
      set_property(TARGET ${lib} PROPERTY KS_FUZZ_INSTRUMENTED ON)
    endif()
  endforeach()
endfunction()
