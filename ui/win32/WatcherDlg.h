#pragma once

#include "engine/MappingWatcher.h"
#include "ui/win32/BalloonPacer.h"
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
// list, the menu, the 1500 ms refresh timer, the tray icon.
class CWatcherDlg {
public:
    static constexpr UINT_PTR kRefreshTimerId = 1;
    static constexpr UINT kRefreshPeriodMs = 1500;
    static constexpr int kVersionPauseMs = 1000;
    static constexpr int kAddressPauseMs = 400;

    explicit CWatcherDlg(WindowParts parts);
    ~CWatcherDlg();
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
    bool isInTray() const { return inTray; }

    // Handlers, named as the design names them.
    BOOL OnInitDialog();
    void OnTimer();
    void OnWatchEvent(std::unique_ptr<WatchEvent> event);
    void OnActivate(UINT state);
    void OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    void layoutControls();
    void updateMappingList(bool all);

    void OnExit();
    void OnFlushSystemCache();
    void OnFlushProgramCache();
    void OnFlushBothCaches();
    void OnAbout();
    void OnDiscover();
    void OnSaveMapping();
    void OnSaveOutput();
    void OnClearOutputList();
    void OnDeleteFromSystemCache();
    void OnDeleteFromProgramCache();
    void OnDeleteFromBothCaches();

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool onCommand(int id);
    INT_PTR onNotify(const NMHDR& header);
    void enterTray();
    void end(int result);
    void reportActionFailures(const char* what);
    void save(const std::string& bytes);
    std::string outputFileText() const;

    WindowParts parts_;
    HWND window_ = nullptr;
    HICON appIcon = nullptr;
    HICON smallIcon = nullptr;
    HICON warningIcon = nullptr;
    MappingListView mappingList;
    COutputListBox outputList;
    HIMAGELIST rowImages = nullptr;
    TrayIcon tray;
    BalloonPacer pacer;
    CMappingWatcher watcher;
    bool inTray = false;
    std::vector<std::unique_ptr<WatchEvent>> events;
    UINT taskbarCreated_ = 0;
    bool ended_ = false;
    int result_ = IDCANCEL;
};

// The engine's event sink: hands the event to the window in `userData`.
void DispatchWatchEvent(std::unique_ptr<WatchEvent> event, void* userData);

}  // namespace tevra::win32
