// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/WatcherApp.h"

#include "hostnet/IpHelper.h"
#include "ui/core/AdministratorFallback.h"
#include "ui/qt/WatcherDlg.h"

namespace tevra {

bool CWatcherApp::InitInstance()
{
    CWatcherDlg window(withAdministratorFallback(hostnet::makePlatformIpHelper()));
    window.runModal();
    return false;
}

}  // namespace tevra
