// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/OneShotTimer.h"
#include "ui/core/TrayState.h"
#include "ui/core/WindowControl.h"

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

namespace tevra::win32 {

// The notification area's one call, a seam so that tests record what the
// window asks of it.
using NotifyIcon = std::function<bool(DWORD message, NOTIFYICONDATAW& data)>;
bool systemNotifyIcon(DWORD message, NOTIFYICONDATAW& data);

// The window's icon in the notification area through Shell_NotifyIconW: id 1,
// its clicks sent to the window as WM_USER + 1.
class Win32TrayIcon : public TrayFace {
public:
    static constexpr UINT kId = 1;
    static constexpr UINT kCallbackMessage = WM_USER + 1;

    explicit Win32TrayIcon(NotifyIcon notify);
    void attach(HWND window, HICON normal, HICON warning);

    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override;
    bool showBalloon(
        const std::string& title, const std::string& text, int timeoutMs, BalloonIcon icon) override;
    bool isAvailable() const override { return true; }

    bool isShown() const { return shown_; }

private:
    bool setIcon(DWORD message, TrayPicture picture, const std::string& tip);

    NotifyIcon notify_;
    NOTIFYICONDATAW data_ {};
    HICON normal_ = nullptr;
    HICON warning_ = nullptr;
    bool shown_ = false;
};

// The main window as the tray logic moves it.
class Win32WindowControl : public WindowControl {
public:
    void attach(HWND window) { window_ = window; }
    bool isMinimised() const override { return IsIconic(window_) != FALSE; }
    void minimise() override;
    void hide() override { ShowWindow(window_, SW_HIDE); }
    void show() override { ShowWindow(window_, SW_SHOW); }
    void restore() override { ShowWindow(window_, SW_RESTORE); }

private:
    HWND window_ = nullptr;
};

// A one-shot window timer: WM_TIMER with kTimerId, handed to fire().
class Win32OneShotTimer : public OneShotTimer {
public:
    static constexpr UINT_PTR kTimerId = 2;

    void attach(HWND window) { window_ = window; }
    void start(int milliseconds, std::function<void()> fired) override;
    bool isActive() const override { return active_; }
    void fire();

private:
    HWND window_ = nullptr;
    std::function<void()> fired_;
    bool active_ = false;
};

}  // namespace tevra::win32
