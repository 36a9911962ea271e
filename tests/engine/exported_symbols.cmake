# Checks that the shared engine library defines exactly the eleven designed
# C functions and the kavrel_ functions of kavrel.h as dynamic symbols: none missing, nothing else at all. Run as:
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
    ReverseGeocoding SetSeparator SetStep TOKYO2WGS84
    kavrel_abi kavrel_attribution kavrel_close kavrel_default_package kavrel_facts_of kavrel_lookup kavrel_lookup_many kavrel_name_at kavrel_open kavrel_package_folder kavrel_preload
    kavrel_result_text kavrel_version)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  ${names}\nexpected:\n  ${expected}")
endif()
