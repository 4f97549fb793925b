# The road of one request through the program itself: the driver runs
# Keystall.exe under Wine on the emulated token and saves its request here;
# OpenSSL with its GOST engine then checks the signature, the subject
# against what was typed (subject.txt) and the extensions. OpenSSL exits 0
# whatever the signature: its output is read.
# Run: cmake -DEMULATOR=<wine-run.sh> -DDRIVER=<exe> -DDIR=<folder> -DOPENSSL=<openssl>
#            -P CheckKeystallRoad.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
execute_process(COMMAND ${EMULATOR} ${DRIVER} WORKING_DIRECTORY ${DIR}
                OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DRIVER} failed:\n${output}")
endif()

file(GLOB requests ${DIR}/*.req)
list(LENGTH requests count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one request in ${DIR}, found: ${requests}")
endif()
get_filename_component(name ${requests} NAME)
if(NOT name MATCHES "^007707083893_20[0-9][0-9][01][0-9][0-3][0-9]_[0-2][0-9][0-5][0-9][0-5][0-9]\\.req$")
  message(FATAL_ERROR "the request is named ${name}")
endif()

function(openssl_req out)
  execute_process(COMMAND ${OPENSSL} req -engine gost -inform DER -in ${requests} -noout ${ARGN}
                  OUTPUT_VARIABLE text ERROR_VARIABLE text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect text what)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "no \"${what}\" in:\n${text}")
  endif()
endfunction()

openssl_req(verified -verify)
expect("${verified}" "verify OK")

# One attribute per line, UTF-8 as it is.
openssl_req(subject -subject -nameopt sep_multiline,sname,utf8,-esc_msb,space_eq)
file(STRINGS ${DIR}/subject.txt expected ENCODING UTF-8)
list(LENGTH expected pairs)
if(pairs LESS 14)
  message(FATAL_ERROR "subject.txt holds ${pairs} lines")
endif()
foreach(pair IN LISTS expected)
  string(REPLACE "=" " = " pair "${pair}")
  expect("${subject}" "\n    ${pair}\n")
endforeach()
string(REGEX MATCHALL "\n    [^\n]+" lines "${subject}")
list(LENGTH lines shown)
if(NOT shown EQUAL pairs)
  message(FATAL_ERROR "${pairs} attributes typed, ${shown} in the subject:\n${subject}")
endif()

openssl_req(text -text)
expect("${text}" "Digital Signature, Non Repudiation, Key Encipherment, Data Encipherment")
expect("${text}" "E-mail Protection, TLS Web Client Authentication, 1.2.643.2.2.34.6, 1.2.643.5.1.28.2, 1.2.643.5.1.28.3, 1.2.643.5.1.28.4, 1.2.643.3.6.78.4.5, 1.2.643.3.6.0.12")
# 1.2.643.100.113.1 and .2, by the names OpenSSL gives them.
expect("${text}" "Policy: Class of Signing Tool KC1")
expect("${text}" "Policy: Class of Signing Tool KC2")
