# Run by `cmake --install`: writes the polkit action with the absolute path of
# the installed helper and installs it. Expects TEVRA_TEMPLATE, TEVRA_OUTPUT,
# TEVRA_DESTINATION and TEVRA_HELPER (the last two relative to the prefix, or absolute).
foreach(path DESTINATION HELPER)
  if(IS_ABSOLUTE "${TEVRA_${path}}")
    set(${path} "${TEVRA_${path}}")
  else()
    set(${path} "${CMAKE_INSTALL_PREFIX}/${TEVRA_${path}}")
  endif()
endforeach()
set(TEVRA_HELPER_PATH "${HELPER}")
configure_file("${TEVRA_TEMPLATE}" "${TEVRA_OUTPUT}" @ONLY)
file(INSTALL "${TEVRA_OUTPUT}" DESTINATION "${DESTINATION}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
