# Checks the Windows deliverables' export and import tables, read with the
# cross toolchain's objdump:
#  - kavrelcore.dll exports the eleven designed functions and the kavrel_
#    functions of kavrel.h, undecorated, and nothing else;
#  - kavrel.exe does not import kavrelcore.dll (it loads it at run time);
#  - none of the three needs a DLL of the compiler's runtime or zlib's;
#  - the three carry their version blocks.
#   cmake -DOBJDUMP=<objdump> -DSTRINGS=<strings> -DLIBRARY=<kavrelcore.dll> -DPROGRAM=<kavrel.exe>
#         -DPACK=<kavrel-pack.exe> -DVERSION=<project version> -DMAP=<kavrelcore.map> -P pe_tables.cmake
cmake_policy(SET CMP0057 NEW)  # IN_LIST
function(read_tables file out_exports out_imports)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OBJDUMP} -p ${file}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${file}")
  endif()
  # Imports: "\tDLL Name: KERNEL32.dll" lines. Exports: the rows
  # "\t[   0] Cleanup" of the "[Ordinal/Name Pointer] Table", up to a blank line.
  string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${listing}")
  list(TRANSFORM dlls REPLACE "DLL Name: " "")
  list(TRANSFORM dlls TOLOWER)
  set(rows "")
  if(listing MATCHES "\\[Ordinal/Name Pointer\\] Table\n(([^\n]+\n)*)")
    string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_0-9]+" rows "${CMAKE_MATCH_1}")
    list(TRANSFORM rows REPLACE ".* " "")
    list(SORT rows)
  endif()
  set(${out_exports} "${rows}" PARENT_SCOPE)
  set(${out_imports} "${dlls}" PARENT_SCOPE)
endfunction()

set(runtime_dlls libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll zlib1.dll)
set(failures "")

read_tables(${LIBRARY} exports imports)
# The eleven designed names, and the kavrel_ functions the library's export
# list (the linker map of the Linux build) names.
set(expected Cleanup GetDatafilename GetInfo Initialize IsJapanRegion PointDistance PreloadData
    ReverseGeocoding SetSeparator SetStep TOKYO2WGS84)
file(STRINGS ${MAP} map_lines REGEX "^ *kavrel_[a-z_0-9]+;")
foreach(line IN LISTS map_lines)
  string(REGEX REPLACE "^ *(kavrel_[a-z_0-9]+);.*" "\\1" name "${line}")
  list(APPEND expected ${name})
endforeach()
list(SORT expected)
if(NOT exports STREQUAL expected)
  string(APPEND failures "exports of ${LIBRARY}:\n  ${exports}\nexpected:\n  ${expected}\n")
endif()
foreach(file IN ITEMS ${LIBRARY} ${PROGRAM} ${PACK})
  read_tables(${file} unused imports)
  foreach(dll IN LISTS runtime_dlls)
    if(dll IN_LIST imports)
      string(APPEND failures "${file} imports ${dll}: the runtime must be linked in\n")
    endif()
  endforeach()
  if(file STREQUAL PROGRAM)
    if(NOT imports)
      string(APPEND failures "no import table read from ${file}\n")
    endif()
    if("kavrelcore.dll" IN_LIST imports)
      string(APPEND failures "${file} imports kavrelcore.dll: it must load it at run time\n")
    endif()
  endif()
endforeach()
# The version block's texts, UTF-16 in the resource section.
function(check_version_block file)
  execute_process(COMMAND ${STRINGS} -el ${file} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${STRINGS} -el failed on ${file}")
  endif()
  string(REPLACE "\n" ";" texts "${listing}")
  foreach(expected IN LISTS ARGN)
    if(NOT expected IN_LIST texts)
      string(APPEND failures "${file}: no \"${expected}\" in its version block\n")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
check_version_block(${LIBRARY} FileVersion ${VERSION} ProductVersion "norvane reverse geocoder dll"
  kavrelcore.dll kavrelcore)
check_version_block(${PROGRAM} FileVersion ${VERSION} "norvane reverse geocoder" kavrel.exe)
check_version_block(${PACK} FileVersion ${VERSION} "kavrel data package tool" kavrel-pack.exe)

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "exports: ${exports}")
