# Checks that the shared engine library defines exactly the eleven exported
# C functions as dynamic symbols: none missing, nothing else at all. Run as:
#   cmake -DLIBRARY=<path of libkavrelcore.so> -P exported_symbols.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected Cleanup GetDatafilename GetInfo Initialize IsJapanRegion PointDistance PreloadData
    ReverseGeocoding SetSeparator SetStep TOKYO2WGS84)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  ${names}\nexpected:\n  ${expected}")
endif()
