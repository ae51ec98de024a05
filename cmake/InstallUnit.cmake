# Run by `cmake --install`: writes the systemd unit with the path tevra-watch
# is installed at. It runs at install time because `--prefix` may move the
# installation after configuring. Expects TEVRA_UNIT_TEMPLATE, TEVRA_UNIT_FILE,
# TEVRA_BINDIR and TEVRA_UNIT_DIR (the last two relative to the prefix, or absolute).
foreach(dir BINDIR UNIT_DIR)
  if(IS_ABSOLUTE "${TEVRA_${dir}}")
    set(${dir} "${TEVRA_${dir}}")
  else()
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${TEVRA_${dir}}")
  endif()
endforeach()
configure_file("${TEVRA_UNIT_TEMPLATE}" "${TEVRA_UNIT_FILE}" @ONLY)
file(INSTALL "${TEVRA_UNIT_FILE}" DESTINATION "${UNIT_DIR}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
