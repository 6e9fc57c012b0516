# Packing folders into ZIP archives and embedding them as "ZIP" resources.
#
#   add_resource_zip(<target> SOURCE <folder> OUTPUT <zip> [SETTINGS <file>])
#     Custom target that packs <folder> (members named "<folder name>/...")
#     into <zip>, again whenever a file under <folder> changes.
#   target_embed_zip(<target> ZIP <zip> ID <number> [DEPENDS <targets>...])
#     Adds <zip> to the executable <target> as resource <number> of type "ZIP".
#
# The installer's own package (resources/ packed with the configured web
# addresses) is the target resource_package, file ${RESOURCE_PACKAGE_FILE};
# target_embed_resource_package(<target>) embeds it as resource 133.

# Set in every directory that includes this file; the rest runs once.
set(RESOURCE_PACKAGE_FILE ${CMAKE_BINARY_DIR}/resources.zip)
set(RESOURCE_PACKAGE_ID 133)
include_guard(GLOBAL)

function(add_resource_zip target)
  set(pack_script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/PackResources.cmake)
  cmake_parse_arguments(ARG "" "SOURCE;OUTPUT;SETTINGS" "" ${ARGN})
  # CONFIGURE_DEPENDS: a file added to or removed from the folder re-runs the
  # glob; the list file changes with it, so a removal repacks too.
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${ARG_SOURCE}/*)
  set(input_list ${CMAKE_CURRENT_BINARY_DIR}/${target}_inputs.txt)
  list(JOIN inputs "\n" input_text)
  file(CONFIGURE OUTPUT ${input_list} CONTENT "${input_text}\n")
  set(settings_args)
  if(ARG_SETTINGS)
    set(settings_args -DSETTINGS=${ARG_SETTINGS})
  endif()
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${ARG_SOURCE} -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/${target}_stage
            -DOUTPUT=${ARG_OUTPUT} ${settings_args} -P ${pack_script}
    DEPENDS ${inputs} ${input_list} ${pack_script} ${ARG_SETTINGS}
    COMMENT "Packing ${ARG_SOURCE} into ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${ARG_OUTPUT})
endfunction()

function(target_embed_zip target)
  cmake_parse_arguments(ARG "" "ZIP;ID" "DEPENDS" ${ARGN})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_zip_${ARG_ID}.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "${ARG_ID} ZIP \"${ARG_ZIP}\"\n")
  target_sources(${target} PRIVATE ${rc})
  # Recompile the resource when the archive changes.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${ARG_ZIP})
  if(ARG_DEPENDS)
    add_dependencies(${target} ${ARG_DEPENDS})
  endif()
endfunction()

# The installer's resource package: resources/ packed into
# ${RESOURCE_PACKAGE_FILE}, with the web addresses below written into its
# language files. Executables embed it with
#   target_embed_resource_package(<target>)
# which adds resource 133 of type "ZIP"; a hand-written resource script may
# instead say  133 ZIP "<RESOURCE_PACKAGE_FILE>"  and then needs
# add_dependencies(<target> resource_package) and OBJECT_DEPENDS on the file.

# The defaults point at the local demo server, so that a build works offline;
# a release build sets the real HTTPS addresses.
set(TIDEWELL_DEMO_PORT 18080 CACHE STRING "Port of the local demo server behind the default addresses")
set(demo_server http://127.0.0.1:${TIDEWELL_DEMO_PORT})
set(TIDEWELL_URL_DOWN ${demo_server}/download/Tidewell_full_setup.exe
    CACHE STRING "URLID_DOWN: full setup package for 32-bit Windows")
set(TIDEWELL_URL_DOWN_X64 ${demo_server}/download/Tidewell_full_setup_x64.exe
    CACHE STRING "URLID_DOWN_X64: full setup package for 64-bit Windows")
set(TIDEWELL_URL_SERVICE ${demo_server}/service_agreement.html
    CACHE STRING "URLID_SERVICE: service agreement page")
set(TIDEWELL_URL_INSTALL ${demo_server}/install_feedback.html
    CACHE STRING "URLID_INSTALL: install feedback page")

set(package_values "set(PACKAGE_VALUE_KEYS URLID_DOWN URLID_DOWN_X64 URLID_SERVICE URLID_INSTALL)\n")
foreach(pair URLID_DOWN:TIDEWELL_URL_DOWN URLID_DOWN_X64:TIDEWELL_URL_DOWN_X64
             URLID_SERVICE:TIDEWELL_URL_SERVICE URLID_INSTALL:TIDEWELL_URL_INSTALL)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 key)
  list(GET pair 1 variable)
  set(value "${${variable}}")
  # A language file line holds one "=" and no line break; anything else
  # would make the installer ignore the address.
  if(value STREQUAL "" OR value MATCHES "[=\r\n]")
    message(FATAL_ERROR "${variable} must be a non-empty address without '=' or line breaks: '${value}'")
  endif()
  string(APPEND package_values "set(PACKAGE_VALUE_${key} [==[${value}]==])\n")
endforeach()
set(RESOURCE_PACKAGE_VALUES ${CMAKE_BINARY_DIR}/resource_package_values.cmake)
file(CONFIGURE OUTPUT ${RESOURCE_PACKAGE_VALUES} CONTENT "${package_values}")

add_resource_zip(resource_package
  SOURCE ${PROJECT_SOURCE_DIR}/resources
  OUTPUT ${RESOURCE_PACKAGE_FILE}
  SETTINGS ${RESOURCE_PACKAGE_VALUES})

function(target_embed_resource_package target)
  target_embed_zip(${target} ZIP ${CMAKE_BINARY_DIR}/resources.zip ID 133 DEPENDS resource_package)
endfunction()
