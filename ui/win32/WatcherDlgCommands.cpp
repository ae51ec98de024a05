// The menu commands of the main window.
#include "engine/MappingCells.h"
#include "ui/CommandIds.h"
#include "ui/win32/ActionFailureText.h"
#include "ui/win32/StartDialogs.h"
#include "ui/win32/UserFile.h"
#include "ui/win32/WatcherDlg.h"
#include "ui/win32/WideText.h"

#include <array>

namespace tevra::win32 {
namespace {

const char* const kDeleteFailed = "Could not delete from the system cache:";
const char* const kFlushFailed = "Could not flush the system cache:";
const char* const kDiscoverFailed = "Could not start the discovery:";
constexpr char kLineEnd[] = "\r\n";

struct Command {
    int id;
    void (CWatcherDlg::*handler)();
};

constexpr std::array kCommands {
    Command { kCmdExit, &CWatcherDlg::OnExit },
    Command { kCmdFlushSystemCache, &CWatcherDlg::OnFlushSystemCache },
    Command { kCmdFlushProgramCache, &CWatcherDlg::OnFlushProgramCache },
    Command { kCmdAbout, &CWatcherDlg::OnAbout },
    Command { kCmdDiscover, &CWatcherDlg::OnDiscover },
    Command { kCmdSaveMapping, &CWatcherDlg::OnSaveMapping },
    Command { kCmdSaveOutput, &CWatcherDlg::OnSaveOutput },
    Command { kCmdDeleteFromSystemCache, &CWatcherDlg::OnDeleteFromSystemCache },
    Command { kCmdDeleteFromProgramCache, &CWatcherDlg::OnDeleteFromProgramCache },
    Command { kCmdDeleteFromBothCaches, &CWatcherDlg::OnDeleteFromBothCaches },
    Command { kCmdFlushBothCaches, &CWatcherDlg::OnFlushBothCaches },
    Command { kCmdClearOutputList, &CWatcherDlg::OnClearOutputList },
};

}  // namespace

bool CWatcherDlg::onCommand(int id)
{
    // Enter, Escape and the close box end the window as "Exit" does.
    if (id == IDOK || id == IDCANCEL) {
        end(id);
        return true;
    }
    for (const Command& command : kCommands)
        if (command.id == id) {
            (this->*command.handler)();
            return true;
        }
    return false;
}

void CWatcherDlg::reportActionFailures(const char* what)
{
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    if (!failures.empty())
        parts_.showError(window_, wideFromUtf8(actionFailureText(what, failures)));
}

void CWatcherDlg::OnExit()
{
    end(IDOK);
}

void CWatcherDlg::OnFlushSystemCache()
{
    watcher.flushSystemCache();
    reportActionFailures(kFlushFailed);
}

void CWatcherDlg::OnFlushProgramCache()
{
    // The list stays empty until the next tick brings the entries back.
    mappingList.deleteAllRows();
    watcher.clearProgramCache();
}

void CWatcherDlg::OnFlushBothCaches()
{
    watcher.flushBothCaches();
    // What the flush could not remove stays listed; the rest comes back with the next tick.
    mappingList.deleteAllRows();
    updateMappingList(true);
    reportActionFailures(kFlushFailed);
}

void CWatcherDlg::OnAbout()
{
    // Modal, but this window's timer keeps ticking behind it.
    runAboutBox(window_);
}

void CWatcherDlg::OnDiscover()
{
    watcher.discoverByPing();
    reportActionFailures(kDiscoverFailed);
}

void CWatcherDlg::OnDeleteFromSystemCache()
{
    for (const std::string& address : mappingList.selectedAddresses())
        watcher.deleteFromSystemCache(address);
    reportActionFailures(kDeleteFailed);
}

void CWatcherDlg::OnDeleteFromProgramCache()
{
    const std::vector<std::string> selected = mappingList.selectedAddresses();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.removeFromProgramCache(address);
    // Unmarked entries would otherwise stay missing: rebuild from the whole cache.
    mappingList.deleteAllRows();
    updateMappingList(true);
}

// An entry whose system delete failed is still in the table, so its history
// stays too: only what left the table leaves the program cache.
void CWatcherDlg::OnDeleteFromBothCaches()
{
    const std::vector<std::string> selected = mappingList.selectedAddresses();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.deleteFromBothCaches(address);
    mappingList.deleteAllRows();
    updateMappingList(true);
    reportActionFailures(kDeleteFailed);
}

void CWatcherDlg::OnClearOutputList()
{
    outputList.clear();
}

void CWatcherDlg::OnSaveMapping()
{
    const std::optional<std::wstring> path = parts_.askSavePath(window_);
    if (!path)
        return;
    // Taken once the dialog has closed: ticks went on while it was open.
    std::vector<MappingCells> rows;
    rows.reserve(mappingList.rows().size());
    for (const MappingRow& row : mappingList.rows())
        rows.push_back(row.cells);
    if (!writeUserFile(*path, mappingTableText(mappingHeadings(), rows, kLineEnd)))
        parts_.showError(window_, L"Error writing to file");
}

void CWatcherDlg::OnSaveOutput()
{
    const std::optional<std::wstring> path = parts_.askSavePath(window_);
    if (!path)
        return;
    if (!writeUserFile(*path, outputFileText()))
        parts_.showError(window_, L"Error writing to file");
}

std::string CWatcherDlg::outputFileText() const
{
    std::string text;
    for (const std::wstring& line : outputList.lines())
        text += utf8FromWide(line) + kLineEnd;
    return text;
}

}  // namespace tevra::win32
