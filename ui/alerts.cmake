# Alert presentation (output list, tray icon, balloons, desktop notifications)
# and text file export. The window library links this one.
add_library(tevra_ui_alerts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AlertPresenter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlertPresenter.h
  ${CMAKE_CURRENT_LIST_DIR}/BalloonText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BalloonText.h
  ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifier.h
  ${CMAKE_CURRENT_LIST_DIR}/ExportDialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/ExportText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExportText.h
  ${CMAKE_CURRENT_LIST_DIR}/OutputListBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputListBox.h
  ${CMAKE_CURRENT_LIST_DIR}/OutputListModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputListModel.h
  ${CMAKE_CURRENT_LIST_DIR}/QtExportDialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtExportDialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/SystemTrayIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemTrayIcon.h
  ${CMAKE_CURRENT_LIST_DIR}/TextExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextExport.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.h
  ${CMAKE_CURRENT_LIST_DIR}/WidgetWindowControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WidgetWindowControl.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowControl.h)
target_include_directories(tevra_ui_alerts PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tevra_ui_alerts PUBLIC tevra_engine Qt6::Widgets Qt6::DBus)
tevra_warnings(tevra_ui_alerts)
