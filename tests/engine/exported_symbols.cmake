# Checks that the shared engine library exports its C functions and no other
# function or object of the project. Run as:
#   cmake -DLIBRARY=<path of libkavrelcore.so> -P exported_symbols.cmake
cmake_minimum_required(VERSION 3.20)
set(expected
  Cleanup GetDatafilename GetInfo Initialize IsJapanRegion PointDistance PreloadData
  ReverseGeocoding SetSeparator SetStep TOKYO2WGS84)
# Symbols the linker itself may define in any shared library.
set(linker_symbols _init _fini _edata _end __bss_start)

execute_process(COMMAND nm -D --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(found)
set(unexpected)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
    set(symbol "${CMAKE_MATCH_1}")
    if(symbol IN_LIST expected)
      list(APPEND found "${symbol}")
    elseif(NOT symbol IN_LIST linker_symbols)
      list(APPEND unexpected "${symbol}")
    endif()
  endif()
endforeach()

set(missing)
foreach(symbol IN LISTS expected)
  if(NOT symbol IN_LIST found)
    list(APPEND missing "${symbol}")
  endif()
endforeach()
if(missing OR unexpected)
  message(FATAL_ERROR "exports missing: [${missing}]; exported but not part of the interface: [${unexpected}]")
endif()
list(LENGTH found count)
message(STATUS "${count} exports, nothing else")
