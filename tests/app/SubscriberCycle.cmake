# The subscriber's whole road on one emulated token: the form makes two
# requests under Wine, the test authority issues their certificates on the
# host (the legal entity's with the KPP in its unstructured name, as an
# authority adds it), and the form installs them.
# Run: cmake -DEMULATOR=<wine-run.sh> -DCYCLE=<exe> -DDIR=<folder> -DMAKE_CERTS=<make-certs.sh>
#            -DOPENSSL=<openssl> -P SubscriberCycle.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
get_filename_component(bin ${CYCLE} DIRECTORY)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${bin}
                  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed:\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# One half of the road; it must really run, not skip.
function(half name)
  run(${CMAKE_COMMAND} -E env KS_CYCLE_DIR=${DIR} ${EMULATOR} ${CYCLE}
      --gtest_filter=SubscriberCycle.${name})
  string(FIND "${output}" "[  PASSED  ] 1 test." passed)
  string(FIND "${output}" "SKIPPED" skipped)
  if(passed EQUAL -1 OR NOT skipped EQUAL -1)
    message(FATAL_ERROR "SubscriberCycle.${name} did not run through:\n${output}")
  endif()
endfunction()

half(MakesTheRequests)
run(${CMAKE_COMMAND} -E env "KS_CERT_SUBJECT_ADD=unstructuredName=INN=7707083893/КПП=773601001"
    ${MAKE_CERTS} issue ${DIR}/legal.req ${DIR}/legal.cer)
run(${MAKE_CERTS} issue ${DIR}/ip.req ${DIR}/ip.cer)
run(${OPENSSL} x509 -inform DER -in ${DIR}/legal.cer -out ${DIR}/legal.pem)
half(InstallsTheCertificates)
file(REMOVE_RECURSE ${DIR})
