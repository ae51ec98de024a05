#include "ui/WatcherApp.h"

#include "hostnet/IpHelper.h"
#include "ui/AdministratorFallback.h"
#include "ui/WatcherDlg.h"

namespace tevra {

bool CWatcherApp::InitInstance()
{
    CWatcherDlg window(withAdministratorFallback(hostnet::makePlatformIpHelper()));
    window.runModal();
    return false;
}

}  // namespace tevra
