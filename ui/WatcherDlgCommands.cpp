// The menu commands of the main window.
#include "ui/AboutDlg.h"
#include "ui/ActionFailureText.h"
#include "ui/WatcherDlg.h"

namespace tevra {
namespace {

const char* const kDeleteFailed = "Could not delete from the system cache:";
const char* const kFlushFailed = "Could not flush the system cache:";
const char* const kDiscoverFailed = "Could not start the discovery:";

}  // namespace

void CWatcherDlg::reportActionFailures(const char* what)
{
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    if (!failures.empty())
        showFailure(actionFailureText(QString::fromLatin1(what), failures));
}

void CWatcherDlg::OnExit()
{
    accept();
}

void CWatcherDlg::OnFlushSystemCache()
{
    watcher.flushSystemCache();
    reportActionFailures(kFlushFailed);
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
    reportActionFailures(kDiscoverFailed);
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
    reportActionFailures(kDeleteFailed);
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

// An entry whose system delete failed is still in the table, so its history
// stays too: only what left the table leaves the program cache.
void CWatcherDlg::OnDeleteFromBothCaches()
{
    const std::vector<std::string> selected = mappingList.selectedAddressTexts();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.deleteFromBothCaches(address);
    mappingList.rows().deleteAllRows();
    updateMappingList(true);
    reportActionFailures(kDeleteFailed);
}

void CWatcherDlg::OnFlushBothCaches()
{
    watcher.flushBothCaches();
    // What the flush could not remove stays listed; the rest comes back with the next tick.
    mappingList.rows().deleteAllRows();
    updateMappingList(true);
    reportActionFailures(kFlushFailed);
}

}  // namespace tevra
