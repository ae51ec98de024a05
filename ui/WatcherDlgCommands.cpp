// The menu commands of the main window.
#include "ui/AboutDlg.h"
#include "ui/WatcherDlg.h"

namespace tevra {

void CWatcherDlg::OnExit()
{
    accept();
}

void CWatcherDlg::OnFlushSystemCache()
{
    watcher.flushSystemCache();
}

void CWatcherDlg::OnFlushProgramCache()
{
    // The list stays empty until the next tick brings the entries back.
    mappingList.rows().deleteAllRows();
    watcher.clearProgramCache();
}

void CWatcherDlg::OnAbout()
{
    // Modal, but this window's timer keeps ticking behind it.
    CAboutDlg about;
    about.exec();
}

void CWatcherDlg::OnDiscover()
{
    watcher.discoverByPing();
}

void CWatcherDlg::OnSaveMapping()
{
    textExport->saveMapping(mappingList.rows());
}

void CWatcherDlg::OnSaveOutput()
{
    textExport->saveOutput(outputList.lines());
}

void CWatcherDlg::OnClearOutputList()
{
    presenter->clearOutputList();
}

void CWatcherDlg::OnDeleteFromSystemCache()
{
    for (const std::string& address : mappingList.selectedAddressTexts())
        watcher.deleteFromSystemCache(address);
}

void CWatcherDlg::OnDeleteFromProgramCache()
{
    const std::vector<std::string> selected = mappingList.selectedAddressTexts();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.removeFromProgramCache(address);
    // Unmarked entries would otherwise stay missing: rebuild from the whole cache.
    mappingList.rows().deleteAllRows();
    updateMappingList(true);
}

void CWatcherDlg::OnDeleteFromBothCaches()
{
    OnDeleteFromSystemCache();
    OnDeleteFromProgramCache();
}

void CWatcherDlg::OnFlushBothCaches()
{
    OnFlushSystemCache();
    OnFlushProgramCache();
}

}  // namespace tevra
