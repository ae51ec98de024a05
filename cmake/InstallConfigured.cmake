# SPDX-License-Identifier: GPL-3.0-or-later
# Run by `cmake --install`: writes TEVRA_TEMPLATE as TEVRA_OUTPUT, naming
# installed paths, and installs it into TEVRA_DESTINATION. It runs at install
# time because `--prefix` may move the installation after configuring.
# TEVRA_PATHS holds NAME=PATH pairs: each PATH, relative to the prefix or
# absolute, is given to the template as the absolute @NAME@. TEVRA_DESTINATION
# too may be relative to the prefix. Each run writes into a folder of its own:
# installs into two DESTDIRs may run at once, and one must not copy the file
# while the other rewrites it.
function(tevra_installed_path out path)
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${CMAKE_INSTALL_PREFIX}/${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

foreach(pair IN LISTS TEVRA_PATHS)
  string(FIND "${pair}" "=" equals)
  string(SUBSTRING "${pair}" 0 ${equals} name)
  math(EXPR start "${equals} + 1")
  string(SUBSTRING "${pair}" ${start} -1 path)
  tevra_installed_path(${name} "${path}")
endforeach()
tevra_installed_path(destination "${TEVRA_DESTINATION}")
string(RANDOM LENGTH 16 run)
get_filename_component(name "${TEVRA_OUTPUT}" NAME)
set(output "${TEVRA_OUTPUT}.runs/${run}/${name}")
configure_file("${TEVRA_TEMPLATE}" "${output}" @ONLY)
file(INSTALL "${output}" DESTINATION "${destination}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE_RECURSE "${TEVRA_OUTPUT}.runs/${run}")
