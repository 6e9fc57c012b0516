# cmake -DSOURCE=<dir> -DSTAGE=<dir> -DOUTPUT=<zip> [-DSETTINGS=<file>] -P PackResources.cmake
#
# Packs the folder SOURCE into the ZIP archive OUTPUT. Member names begin with
# the folder's own name ("resources/..."); members are deflated, listed in
# sorted order and carry a fixed time stamp, so the same tree always gives the
# same bytes. The tree is copied to STAGE first. SETTINGS, when given, is a
# CMake script that sets PACKAGE_VALUE_KEYS (a list of keys) and, for each key
# K, PACKAGE_VALUE_<K>: every "K = ..." line of the language files
# (lang/*/gdstrings.ini) in the staged copy then gets that value.
cmake_minimum_required(VERSION 3.20)

foreach(required SOURCE STAGE OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "PackResources: ${required} is not set")
  endif()
endforeach()

get_filename_component(tree "${SOURCE}" NAME)
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY "${SOURCE}" DESTINATION "${STAGE}")

if(SETTINGS)
  include("${SETTINGS}")
  file(GLOB language_files "${STAGE}/${tree}/lang/*/gdstrings.ini")
  foreach(language_file IN LISTS language_files)
    file(READ "${language_file}" content)
    foreach(key IN LISTS PACKAGE_VALUE_KEYS)
      # Backslashes are the only character special in a replacement text.
      string(REPLACE "\\" "\\\\" value "${PACKAGE_VALUE_${key}}")
      # The key must start its line and be followed by blanks and "=": this
      # keeps URLID_DOWN from matching URLID_DOWN_X64.
      string(REGEX REPLACE "(^|\n)${key}[ \t]*=[^\r\n]*" "\\1${key} = ${value}" content "${content}")
    endforeach()
    file(WRITE "${language_file}" "${content}")
  endforeach()
endif()

file(GLOB_RECURSE members RELATIVE "${STAGE}" "${STAGE}/${tree}/*")
list(SORT members)
list(JOIN members "\n" member_list)
file(WRITE "${STAGE}/members.txt" "${member_list}\n")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUTPUT}.tmp" --format=zip
          "--mtime=2000-01-01 00:00:00 UTC" --files-from=members.txt
  WORKING_DIRECTORY "${STAGE}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}.tmp")
  message(FATAL_ERROR "PackResources: packing ${SOURCE} failed (${result})")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
