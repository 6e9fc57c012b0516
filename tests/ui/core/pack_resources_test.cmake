# cmake -DSOURCE=<resources folder> -DWORK=<scratch folder> -DPACK_SCRIPT=<PackResources.cmake> -P pack_resources_test.cmake
# Packs the resource tree with addresses that differ from the shipped ones
# and checks that exactly the URLID_ lines changed, in both languages.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(settings "${WORK}/values.cmake")
file(WRITE "${settings}" [==[
set(PACKAGE_VALUE_KEYS URLID_DOWN URLID_SERVICE)
set(PACKAGE_VALUE_URLID_DOWN [[https://downloads.example.invalid/a;b\c.exe]])
set(PACKAGE_VALUE_URLID_SERVICE [[https://www.example.invalid/terms]])
]==])
execute_process(
  COMMAND "${CMAKE_COMMAND}" -DSOURCE=${SOURCE} -DSTAGE=${WORK}/stage -DOUTPUT=${WORK}/out.zip
          -DSETTINGS=${settings} -P "${PACK_SCRIPT}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "packing failed: ${result}")
endif()
file(MAKE_DIRECTORY "${WORK}/unpacked")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf ../out.zip WORKING_DIRECTORY "${WORK}/unpacked")

foreach(language English German)
  set(relative resources/lang/${language}/gdstrings.ini)
  file(READ "${WORK}/unpacked/${relative}" packed)
  file(READ "${SOURCE}/lang/${language}/gdstrings.ini" shipped)
  foreach(expected
      "\nURLID_DOWN = https://downloads.example.invalid/a;b\\c.exe\n"
      "\nURLID_SERVICE = https://www.example.invalid/terms\n"
      "\nURLID_DOWN_X64 = http://127.0.0.1:18080/download/Tidewell_full_setup_x64.exe\n")
    string(FIND "${packed}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${relative} lacks the line ${expected}")
    endif()
  endforeach()
  # Everything but the two address lines is as shipped.
  string(REGEX REPLACE "\nURLID_(DOWN|SERVICE) = [^\n]*" "" packed_rest "${packed}")
  string(REGEX REPLACE "\nURLID_(DOWN|SERVICE) = [^\n]*" "" shipped_rest "${shipped}")
  if(NOT packed_rest STREQUAL shipped_rest)
    message(FATAL_ERROR "${relative} changed beyond its addresses")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "addresses written into both language files")
