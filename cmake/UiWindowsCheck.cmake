# Debian ships no Qt for Windows, so a cross-build cannot build the window.
# What it can do is compile the window's sources against the Windows headers,
# with Debian's Qt 6 headers standing in for Qt's own: a Windows-only fault in
# ui/ (a POSIX header, a Linux call) shows here. Nothing is linked.
set(TEVRA_HOST_QT_HEADERS /usr/include/x86_64-linux-gnu/qt6)
if(NOT EXISTS ${TEVRA_HOST_QT_HEADERS}/QtWidgets/QWidget)
  message(STATUS "No Qt 6 headers in ${TEVRA_HOST_QT_HEADERS}: ui/ is not compiled for Windows")
  return()
endif()
# ui/qt/ holds the portable files and the non-Linux ones; ui/qt/linux/ is left out.
file(GLOB TEVRA_UI_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ui/qt/*.cpp)
add_library(tevra_ui_windows_check OBJECT ${TEVRA_UI_SOURCES})
target_include_directories(tevra_ui_windows_check PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
target_include_directories(tevra_ui_windows_check SYSTEM PRIVATE ${TEVRA_HOST_QT_HEADERS}
  ${TEVRA_HOST_QT_HEADERS}/QtCore ${TEVRA_HOST_QT_HEADERS}/QtGui ${TEVRA_HOST_QT_HEADERS}/QtWidgets)
# Compiled without optimisation or debug information: only whether it compiles counts.
target_compile_options(tevra_ui_windows_check PRIVATE -O0 -g0)
tevra_warnings(tevra_ui_windows_check)
