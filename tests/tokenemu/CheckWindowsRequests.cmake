# Requests made by the Windows build of the token emulator, checked with
# OpenSSL and its GOST engine on the host. OpenSSL exits 0 whatever the
# signature: its output is read.
# Run: cmake -DEMULATOR=<wine-run.sh> -DDUMP=<exe> -DDIR=<folder> -DOPENSSL=<openssl>
#            -P CheckWindowsRequests.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
execute_process(COMMAND ${EMULATOR} ${DUMP} WORKING_DIRECTORY ${DIR}
                OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DUMP} failed:\n${output}")
endif()

function(check file form expected)
  execute_process(COMMAND ${OPENSSL} req -engine gost -inform ${form} -in ${DIR}/${file}
                          -verify -noout
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(FIND "${output}" "verify OK" at)
  if((expected AND at EQUAL -1) OR (NOT expected AND NOT at EQUAL -1))
    message(FATAL_ERROR "${file}: expected verify OK = ${expected}, openssl said:\n${output}")
  endif()
endfunction()

check(request.der DER TRUE)
check(request.pem PEM TRUE)
check(request-flipped.der DER FALSE)
file(REMOVE_RECURSE ${DIR})
