// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/WatcherApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return tevra::win32::InitInstance();
}
