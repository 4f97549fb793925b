# pe_dump(<file> <var>): the Windows program's or library's headers as
# `objdump -p` prints them (OBJDUMP names it), headings in the C locale.
# pe_imports(<dump> <var>): the names of the libraries it imports, lower case.
function(pe_dump file var)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OBJDUMP} -p ${file}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  set(${var} "${dump}" PARENT_SCOPE)
endfunction()

function(pe_imports dump var)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  set(names)
  foreach(import IN LISTS imports)
    string(SUBSTRING "${import}" 10 -1 dll)
    string(TOLOWER "${dll}" dll)
    list(APPEND names ${dll})
  endforeach()
  set(${var} ${names} PARENT_SCOPE)
endfunction()
