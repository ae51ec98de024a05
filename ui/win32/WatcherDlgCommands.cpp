// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands: the shared logic runs them (ui/core/WindowCommands);
// here is what they need of this window.
#include "ui/core/ExportText.h"
#include "ui/core/TextFit.h"
#include "ui/core/UserFile.h"
#include "ui/win32/StartDialogs.h"
#include "ui/win32/WatcherDlg.h"
#include "ui/win32/WideText.h"

namespace tevra::win32 {

bool CWatcherDlg::onCommand(int id)
{
    // Enter, Escape and the close box end the window as "Exit" does.
    if (id == IDOK || id == IDCANCEL) {
        end(id);
        return true;
    }
    return runCommand(id, watcher, *this);
}

std::vector<std::string> CWatcherDlg::selectedAddressTexts() const
{
    return mappingList.selectedAddresses();
}

void CWatcherDlg::showFailure(const std::string& text)
{
    parts_.showError(window_, wideFromUtf8(text));
}

void CWatcherDlg::clearMappingRows()
{
    mappingList.deleteAllRows();
}

void CWatcherDlg::rewriteAllMappingRows()
{
    updateMappingList(true);
}

void CWatcherDlg::clearOutputList()
{
    outputList.clear();
}

void CWatcherDlg::OnAbout()
{
    // Modal, but this window's timer keeps ticking behind it.
    runAboutBox(window_);
}

// Each text is taken once the dialog has closed: ticks went on while it was open.
void CWatcherDlg::OnSaveMapping()
{
    const std::optional<std::wstring> path = parts_.askSavePath(window_);
    if (path && !writeUserFile(utf8FromWide(*path), mappingFileBytes(mappingList.rows(), fitUtf8ToLimit)))
        showFailure("Error writing to file");
}

void CWatcherDlg::OnSaveOutput()
{
    const std::optional<std::wstring> path = parts_.askSavePath(window_);
    if (!path)
        return;
    std::vector<std::string> lines;
    for (const std::wstring& line : outputList.lines())
        lines.push_back(utf8FromWide(line));
    if (!writeUserFile(utf8FromWide(*path), outputFileBytes(lines)))
        showFailure("Error writing to file");
}

}  // namespace tevra::win32
