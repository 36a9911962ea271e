# The sentence kavrel-pack warns with about points outside the covered area
# stands word for word in the READMEs and the manual pages. Run as:
#   cmake -DPACK=<kavrel-pack> -DSOURCE=<source folder> -DWORK=<scratch folder> [-DEMULATOR=<wine>]
#         -P outside_area_rule.cmake
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/outside.csv
  "latitude,longitude,prefecture,city,area\n"
  "35.681236,139.767125,東京都,千代田区,丸の内一丁目\n"
  "24.289170,153.980589,東京都,小笠原村,南鳥島\n")
execute_process(COMMAND ${EMULATOR} "${PACK}" build ${WORK}/outside.csv -o ${WORK}/outside.bin
  ERROR_VARIABLE warning RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kavrel-pack build failed: ${warning}")
endif()
# (Windows ends the line with CR LF.)
if(NOT warning MATCHES "warning: 1 point lies outside 24-46 N, 122-149 E; kept\\. ([^\r\n]+)\r?\n")
  message(FATAL_ERROR "no warning about the point outside the area:\n${warning}")
endif()
set(rule "${CMAKE_MATCH_1}")
foreach(document README.md data/README.md doc/kavrel.1.in doc/kavrel-pack.1.in)
  file(READ ${SOURCE}/${document} text)
  string(REGEX REPLACE "[ \n]+" " " text "${text}")
  string(FIND "${text}" "${rule}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${document} does not say, word for word:\n${rule}")
  endif()
endforeach()
