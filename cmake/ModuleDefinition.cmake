# oem_module_definition(TARGET DEF_FILE) links TARGET with the exports DEF_FILE lists. The file is
# copied into the build folder and named relative to the top of it, where the link runs: the
# link command that each PDB records then names no folder of the machine that built it.
function(oem_module_definition target def)
  get_filename_component(name ${def} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
  configure_file(${def} ${copy} COPYONLY)
  file(RELATIVE_PATH relative ${CMAKE_BINARY_DIR} ${copy})
  target_link_options(${target} PRIVATE ${relative})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${copy})
endfunction()
