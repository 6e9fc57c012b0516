# Packing folders into ZIP archives and embedding them as "ZIP" resources.
#
#   add_resource_zip(<target> SOURCE <folder> OUTPUT <zip> [SETTINGS <file>])
#     Custom target that packs <folder> (members named "<folder name>/...")
#     into <zip>, again whenever a file under <folder> changes.
#   target_embed_zip(<target> ZIP <zip> ID <number> [DEPENDS <targets>...])
#     Adds <zip> to the executable <target> as resource <number> of type "ZIP".
include_guard(GLOBAL)

set(RESOURCE_ZIP_PACK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PackResources.cmake)

function(add_resource_zip target)
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
            -DOUTPUT=${ARG_OUTPUT} ${settings_args} -P ${RESOURCE_ZIP_PACK_SCRIPT}
    DEPENDS ${inputs} ${input_list} ${RESOURCE_ZIP_PACK_SCRIPT} ${ARG_SETTINGS}
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
