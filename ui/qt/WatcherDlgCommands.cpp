// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands of the main window: each handler runs the command's
// shared logic (ui/core/WindowCommands) on this window.
#include "ui/core/CommandIds.h"
#include "ui/core/WindowCommands.h"
#include "ui/qt/AboutDlg.h"
#include "ui/qt/WatcherDlg.h"

namespace tevra {

// What the shared commands do to this window.
class CWatcherDlg::CommandTarget : public CommandFace {
public:
    explicit CommandTarget(CWatcherDlg& window)
        : window_(window)
    {
    }

    std::vector<std::string> selectedAddressTexts() const override
    {
        return window_.mappingList.selectedAddressTexts();
    }
    void showFailure(const std::string& text) override { window_.showFailure(QString::fromStdString(text)); }
    void clearMappingRows() override { window_.mappingList.rows().deleteAllRows(); }
    void rewriteAllMappingRows() override { window_.updateMappingList(true); }
    void clearOutputList() override { window_.presenter->clearOutputList(); }
    void saveMapping() override { window_.textExport->saveMapping(window_.mappingList.rows()); }
    void saveOutput() override { window_.textExport->saveOutput(window_.outputList.lines()); }
    void showAbout() override
    {
        // Modal, but this window's timer keeps ticking behind it.
        CAboutDlg about;
        about.exec();
    }
    void close() override { window_.accept(); }

private:
    CWatcherDlg& window_;
};

void CWatcherDlg::runMenuCommand(int command)
{
    if (!commandFace)
        commandFace = std::make_unique<CommandTarget>(*this);
    runCommand(command, watcher, *commandFace);
}

void CWatcherDlg::OnExit()
{
    runMenuCommand(kCmdExit);
}

void CWatcherDlg::OnFlushSystemCache()
{
    runMenuCommand(kCmdFlushSystemCache);
}

void CWatcherDlg::OnFlushProgramCache()
{
    runMenuCommand(kCmdFlushProgramCache);
}

void CWatcherDlg::OnAbout()
{
    runMenuCommand(kCmdAbout);
}

void CWatcherDlg::OnDiscover()
{
    runMenuCommand(kCmdDiscover);
}

void CWatcherDlg::OnSaveMapping()
{
    runMenuCommand(kCmdSaveMapping);
}

void CWatcherDlg::OnSaveOutput()
{
    runMenuCommand(kCmdSaveOutput);
}

void CWatcherDlg::OnClearOutputList()
{
    runMenuCommand(kCmdClearOutputList);
}

void CWatcherDlg::OnDeleteFromSystemCache()
{
    runMenuCommand(kCmdDeleteFromSystemCache);
}

void CWatcherDlg::OnDeleteFromProgramCache()
{
    runMenuCommand(kCmdDeleteFromProgramCache);
}

void CWatcherDlg::OnDeleteFromBothCaches()
{
    runMenuCommand(kCmdDeleteFromBothCaches);
}

void CWatcherDlg::OnFlushBothCaches()
{
    runMenuCommand(kCmdFlushBothCaches);
}

}  // namespace tevra
