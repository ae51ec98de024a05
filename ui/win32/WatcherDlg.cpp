// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/WatcherDlg.h"

#include "ui/core/CommandIds.h"
#include "ui/core/ExportText.h"
#include "ui/core/StartUp.h"
#include "ui/core/TextFit.h"
#include "ui/core/UserFile.h"
#include "ui/win32/ResourceIds.h"
#include "ui/win32/StartDialogs.h"
#include "ui/win32/WideText.h"

#include <cmath>
#include <utility>

namespace tevra::win32 {
namespace {

HICON loadIcon(int id, int size)
{
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace

void DispatchWatchEvent(std::unique_ptr<WatchEvent> event, void* userData)
{
    static_cast<CWatcherDlg*>(userData)->OnWatchEvent(std::move(event));
}

CWatcherDlg::CWatcherDlg(WindowParts parts)
    : parts_(std::move(parts))
    , trayIcon(parts_.notifyIcon)
    , trayState(trayIcon, windowControl, balloonTimer, fitUtf8ToLimit)
    , watcher(std::move(parts_.host))
{
    appIcon = loadIcon(IDI_APPLICATION_ICON, GetSystemMetrics(SM_CXICON));
    smallIcon = loadIcon(IDI_APPLICATION_ICON, GetSystemMetrics(SM_CXSMICON));
    warningIcon = loadIcon(IDI_TRAY_WARNING, GetSystemMetrics(SM_CXSMICON));
    if (!parts_.showError)
        parts_.showError = [](HWND owner, const std::wstring& text) {
            MessageBoxW(owner, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
        };
}

CWatcherDlg::~CWatcherDlg()
{
    if (window_)
        DestroyWindow(window_);
    if (rowImages)
        ImageList_Destroy(rowImages);
    for (HICON icon : { appIcon, smallIcon, warningIcon })
        if (icon)
            DestroyIcon(icon);
}

bool CWatcherDlg::create()
{
    const HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WATCHER), nullptr,
        dialogProc, reinterpret_cast<LPARAM>(this));
    if (window == nullptr)
        return false;
    // A dialog opens centred on its screen's work area.
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    RECT frame {};
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)
        && GetWindowRect(window, &frame)) {
        const RECT& work = monitor.rcWork;
        const int x = work.left + (work.right - work.left - (frame.right - frame.left)) / 2;
        const int y = work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2;
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

int CWatcherDlg::runModal()
{
    MSG message;
    while (!ended_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ && IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return result_;
}

INT_PTR CALLBACK CWatcherDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CWatcherDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CWatcherDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR CWatcherDlg::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == Win32OneShotTimer::kTimerId)
            balloonTimer.fire();
        else
            OnTimer();
        return TRUE;
    case WM_COMMAND:
        return onCommand(LOWORD(wParam));
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SIZE:
        layoutControls();
        // Minimising deactivates the window on a desktop, but not under every
        // window manager: a minimised window counts as inactive.
        if (wParam == SIZE_MINIMIZED)
            trayState.activationChanged(false);
        else if (wParam == SIZE_RESTORED)
            trayState.windowRestored();
        return TRUE;
    case WM_SIZING:
        layoutControls();
        return FALSE;
    case WM_ACTIVATE:
        trayState.activationChanged(LOWORD(wParam) != WA_INACTIVE);
        return FALSE;
    case Win32TrayIcon::kCallbackMessage:
        OnTrayNotify(wParam, lParam);
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(appIcon);
    case WM_DESTROY:
        KillTimer(window_, kRefreshTimerId);
        KillTimer(window_, Win32OneShotTimer::kTimerId);
        // A hidden window's icon would stay behind in the tray until the mouse passes it.
        trayIcon.remove();
        return FALSE;
    default:
        // Explorer started again: its tray knows no icon of ours.
        if (message == taskbarCreated_ && taskbarCreated_ != 0)
            trayState.trayRecreated();
        return FALSE;
    }
}

BOOL CWatcherDlg::OnInitDialog()
{
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    auto splash = std::make_unique<CSplashDlg>();
    splash->SetText(wideFromUtf8(splashVersionLine()));

    mappingList.attach(GetDlgItem(window_, IDC_MAPPING_LIST));
    outputList.attach(GetDlgItem(window_, IDC_OUTPUT_LIST));
    mappingList.insertColumns();
    watcher.clearProgramCache();
    watcher.loadVendorTable();
    watcher.sink.userData = this;
    watcher.sink.callback = DispatchWatchEvent;

    rowImages = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR32, 2, 0);
    for (int id : { IDI_CHECK, IDI_CROSS }) {
        const HICON icon = loadIcon(id, 16);
        ImageList_ReplaceIcon(rowImages, -1, icon);
        DestroyIcon(icon);
    }
    mappingList.setRowImages(rowImages);
    trayIcon.attach(window_, smallIcon, warningIcon);
    windowControl.attach(window_);
    balloonTimer.attach(window_);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    layoutControls();

    parts_.pause(kVersionPauseMs);
    splash->SetText(wideFromUtf8(kWebAddress));
    parts_.pause(kAddressPauseMs);
    DeleteMenu(GetMenu(window_), kCmdTest, MF_BYCOMMAND);
    DrawMenuBar(window_);
    splash.reset();

    SetTimer(window_, kRefreshTimerId, UINT(kRefreshPeriodMs), nullptr);
    return TRUE;
}

void CWatcherDlg::OnTimer()
{
    watcher.refresh();
    updateMappingList(false);
}

void CWatcherDlg::updateMappingList(bool all)
{
    mappingList.update(watcher, all);
}

void CWatcherDlg::layoutControls()
{
    if (!mappingList.window() || !outputList.window())
        return;
    RECT client {};
    GetClientRect(window_, &client);
    const int width = client.right;
    // Each height is truncated on its own, so they may sum to one pixel short.
    const int listHeight = int(std::trunc(client.bottom * 0.7));
    const int outputHeight = int(std::trunc(client.bottom * 0.3));
    SetWindowPos(mappingList.window(), HWND_BOTTOM, 0, 0, width, listHeight, SWP_SHOWWINDOW);
    SetWindowPos(outputList.window(), HWND_BOTTOM, 0, listHeight, width, outputHeight, SWP_SHOWWINDOW);
}

INT_PTR CWatcherDlg::onNotify(const NMHDR& header)
{
    if (header.idFrom != IDC_MAPPING_LIST)
        return FALSE;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        mappingList.onGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
        return TRUE;
    case LVN_ODFINDITEMW:
        // No search by typing: the rows are many and found by address.
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, -1);
        return TRUE;
    default:
        return FALSE;
    }
}

void CWatcherDlg::OnWatchEvent(std::unique_ptr<WatchEvent> event)
{
    events.push_back(std::move(event));
    const WatchEvent& arrived = *events.back();
    const std::string line = alertLine(arrived);
    outputList.AddString(wideFromUtf8(line));
    trayState.alert(line);
}

void CWatcherDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != Win32TrayIcon::kId)
        return;
    switch (LOWORD(mouseMessage)) {
    case WM_LBUTTONDOWN:
        trayState.trayClicked(TrayClick::LeftButtonPress);
        break;
    case WM_LBUTTONDBLCLK:
        trayState.trayClicked(TrayClick::DoubleClick);
        break;
    case WM_RBUTTONDOWN:
        trayState.trayClicked(TrayClick::RightButton);
        break;
    default:
        trayState.trayClicked(TrayClick::Other);
        break;
    }
}

void CWatcherDlg::end(int result)
{
    result_ = result;
    ended_ = true;
    DestroyWindow(window_);
    window_ = nullptr;
}

}  // namespace tevra::win32
