# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs as a portable ZIP and as an NSIS installer, both made by
# CPack during the build: Tevra.exe (when the window is built), tevra-watch.exe,
# tevra-arp-helper.exe and the README, side by side in one folder.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)

# Debian installs makensis on the PATH; NSIS for Windows in Program Files.
find_program(TEVRA_MAKENSIS makensis PATHS "$ENV{ProgramFiles}/NSIS" "$ENV{ProgramFiles\(x86\)}/NSIS")
set(CPACK_GENERATOR ZIP)
set(TEVRA_PACKAGE_EXTENSIONS .zip)
if(TEVRA_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  list(APPEND TEVRA_PACKAGE_EXTENSIONS .exe)
  set(CPACK_NSIS_EXECUTABLE ${TEVRA_MAKENSIS})
else()
  message(WARNING "makensis not found (Debian package nsis): the build makes the ZIP but no installer")
endif()
set(CPACK_PACKAGE_NAME Tevra)
set(CPACK_PACKAGE_VENDOR Tevra)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tevra: watches the IP-to-MAC (ARP) table and warns when a mapping changes")
set(TEVRA_PACKAGE_NAME Tevra-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${TEVRA_PACKAGE_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tevra)

# Without the debugging information the build keeps for itself.
set(CPACK_STRIP_FILES ON)

set(CPACK_NSIS_PACKAGE_NAME Tevra)
set(CPACK_NSIS_DISPLAY_NAME "Tevra ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer, like the programs it carries: it installs into the real
# Program Files and registry, and runs where only 64-bit Windows programs can.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/icons/tevra.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/icons/tevra.ico)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The Start menu folder gets the window, the README and the uninstaller.
set(CPACK_NSIS_MENU_LINKS README.txt "Tevra README")
set(TEVRA_PACKAGED_PROGRAMS tevra-watch tevra-arp-helper)
if(TARGET tevra)
  set(CPACK_PACKAGE_EXECUTABLES Tevra Tevra)
  set(CPACK_NSIS_INSTALLED_ICON_NAME Tevra.exe)
  list(APPEND TEVRA_PACKAGED_PROGRAMS tevra)
endif()
# A later install of another version replaces this one rather than sitting beside it.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The packages are built by the custom command below, not by a preinstall
# step that would build everything again from inside the build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)

set(TEVRA_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
# By our own name: include(CPack) leaves CPACK_PACKAGE_FILE_NAME set to the
# source package's, so the build would look for files never made and pack
# again each time.
list(TRANSFORM TEVRA_PACKAGE_EXTENSIONS PREPEND ${TEVRA_PACKAGE_DIR}/${TEVRA_PACKAGE_NAME} OUTPUT_VARIABLE
     TEVRA_PACKAGES)
add_custom_command(OUTPUT ${TEVRA_PACKAGES}
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake -B ${TEVRA_PACKAGE_DIR}
  DEPENDS ${TEVRA_PACKAGED_PROGRAMS} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  COMMENT "Packing the portable ZIP and the installer"
  VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${TEVRA_PACKAGES})
