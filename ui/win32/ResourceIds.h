// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's resources by number, shared by res/tevra.rc and the code; the
// resource compiler reads only the macros, so these stay #defines.
#define IDD_WATCHER 102
#define IDI_APPLICATION_ICON 128
#define IDR_MAIN_MENU 129
#define IDD_ABOUT 136
#define IDD_SPLASH 138
#define IDB_SPLASH 139
#define IDI_CHECK 142
#define IDI_CROSS 143
#define IDI_TRAY_WARNING 144
#define IDC_MAPPING_LIST 1000
#define IDC_OUTPUT_LIST 1001
#define IDC_SPLASH_LINE 1002
#define IDC_VERSION 1003
