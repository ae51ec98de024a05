# The window, the mapping list and the start-up: library tevra_ui, program tevra.
# Included by ui/CMakeLists.txt after alerts.cmake.

# Pictures and icons, compiled in; :/icons/... and :/pictures/... (see Resources.h).
# A library of its own so that the alert pieces can link the same icons.
add_library(tevra_ui_resources STATIC Resources.cpp)
target_include_directories(tevra_ui_resources PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tevra_ui_resources PUBLIC Qt6::Gui)
qt_add_resources(tevra_ui_resources tevra_icons
  PREFIX /icons
  BASE ${PROJECT_SOURCE_DIR}/res/icons
  FILES
    ${PROJECT_SOURCE_DIR}/res/icons/tevra.png
    ${PROJECT_SOURCE_DIR}/res/icons/tevra-32.png
    ${PROJECT_SOURCE_DIR}/res/icons/tevra-16.png
    ${PROJECT_SOURCE_DIR}/res/icons/warning.png
    ${PROJECT_SOURCE_DIR}/res/icons/check.png
    ${PROJECT_SOURCE_DIR}/res/icons/cross.png)
qt_add_resources(tevra_ui_resources tevra_pictures
  PREFIX /pictures
  BASE ${PROJECT_SOURCE_DIR}/res/pictures
  FILES ${PROJECT_SOURCE_DIR}/res/pictures/splash.png)
tevra_warnings(tevra_ui_resources)

add_library(tevra_ui STATIC
  AboutDlg.cpp
  MappingListModel.cpp
  MappingListView.cpp
  SplashDlg.cpp
  WatcherDlg.cpp
  WatcherDlgCommands.cpp
  WatcherDlgMenu.cpp)
target_include_directories(tevra_ui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tevra_ui PUBLIC tevra_engine tevra_ui_resources Qt6::Widgets)
if(TARGET tevra_ui_alerts)
  target_link_libraries(tevra_ui PUBLIC tevra_ui_alerts)
endif()
tevra_warnings(tevra_ui)

# The program itself needs the host's real network stack.
if(TARGET tevra_hostnet_platform)
  add_executable(tevra main.cpp WatcherApp.cpp)
  target_link_libraries(tevra PRIVATE tevra_ui tevra_hostnet_platform)
  tevra_warnings(tevra)
  include(GNUInstallDirs)
  install(TARGETS tevra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  message(STATUS "tevra: no host network layer for this platform yet; building the window library only")
endif()
