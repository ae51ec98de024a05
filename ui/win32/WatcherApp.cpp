// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/WatcherApp.h"

#include "ui/core/AdministratorFallback.h"
#include "ui/win32/WatcherDlg.h"

namespace tevra::win32 {

int InitInstance()
{
    INITCOMMONCONTROLSEX controls { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    WindowParts parts;
    parts.host = withAdministratorFallback(hostnet::makePlatformIpHelper());
    CWatcherDlg window(std::move(parts));
    if (!window.create())
        return 1;
    window.runModal();
    return 0;
}

}  // namespace tevra::win32
