#include "ui/WatcherApp.h"

#include "hostnet/IpHelper.h"
#include "ui/WatcherDlg.h"

namespace tevra {

bool CWatcherApp::InitInstance()
{
    CWatcherDlg window(hostnet::makePlatformIpHelper());
    window.runModal();
    return false;
}

}  // namespace tevra
