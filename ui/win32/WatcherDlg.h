// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MappingWatcher.h"
#include "ui/core/TrayState.h"
#include "ui/core/WindowCommands.h"
#include "ui/win32/MappingListView.h"
#include "ui/win32/OutputListBox.h"
#include "ui/win32/SaveDialog.h"
#include "ui/win32/TrayIcon.h"

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tevra::win32 {

// What the window takes from its surroundings; tests give stand-ins for the
// parts a test cannot drive (the tray, the Save As dialog, message boxes,
// the splash's pauses).
struct WindowParts {
    std::unique_ptr<hostnet::IpHelper> host;
    NotifyIcon notifyIcon = systemNotifyIcon;
    AskSavePath askSavePath = askSavePathWithDialog;
    std::function<void(HWND owner, const std::wstring& text)> showError;
    std::function<void(int milliseconds)> pause = [](int milliseconds) { Sleep(DWORD(milliseconds)); };
};

// The main window, dialog template 102: the mapping list over the output
// list, the menu, the refresh timer, the tray icon. What the commands and the
// tray do is the shared logic's (ui/core); this maps it onto Win32.
class CWatcherDlg : private CommandFace {
public:
    explicit CWatcherDlg(WindowParts parts);
    ~CWatcherDlg() override;
    CWatcherDlg(const CWatcherDlg&) = delete;
    CWatcherDlg& operator=(const CWatcherDlg&) = delete;

    // Creates and initialises the window (the splash shows meanwhile); false
    // if the window could not be made.
    bool create();
    // Handles messages until the window is ended; IDOK or IDCANCEL.
    int runModal();

    HWND window() const { return window_; }
    CMappingWatcher& engine() { return watcher; }
    const MappingListView& mappingRows() const { return mappingList; }
    bool isInTray() const { return trayState.inTray(); }

    BOOL OnInitDialog();
    void OnTimer();
    void OnWatchEvent(std::unique_ptr<WatchEvent> event);
    void OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    void layoutControls();
    void updateMappingList(bool all);
    void OnSaveMapping();
    void OnSaveOutput();
    void OnAbout();

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool onCommand(int id);
    INT_PTR onNotify(const NMHDR& header);
    void end(int result);

    // CommandFace
    std::vector<std::string> selectedAddressTexts() const override;
    void showFailure(const std::string& text) override;
    void clearMappingRows() override;
    void rewriteAllMappingRows() override;
    void clearOutputList() override;
    void saveMapping() override { OnSaveMapping(); }
    void saveOutput() override { OnSaveOutput(); }
    void showAbout() override { OnAbout(); }
    void close() override { end(IDOK); }

    WindowParts parts_;
    HWND window_ = nullptr;
    HICON appIcon = nullptr;
    HICON smallIcon = nullptr;
    HICON warningIcon = nullptr;
    MappingListView mappingList;
    COutputListBox outputList;
    HIMAGELIST rowImages = nullptr;
    Win32TrayIcon trayIcon;
    Win32WindowControl windowControl;
    Win32OneShotTimer balloonTimer;
    TrayState trayState;
    CMappingWatcher watcher;
    std::vector<std::unique_ptr<WatchEvent>> events;
    UINT taskbarCreated_ = 0;
    bool ended_ = false;
    int result_ = IDCANCEL;
};

// The engine's event sink: hands the event to the window in `userData`.
void DispatchWatchEvent(std::unique_ptr<WatchEvent> event, void* userData);

}  // namespace tevra::win32
