// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/TrayIcon.h"

#include "ui/win32/WideText.h"

#include <utility>

namespace tevra::win32 {
namespace {

template<std::size_t N> void copyCut(wchar_t (&target)[N], const std::string& text)
{
    lstrcpynW(target, wideFromUtf8(text).c_str(), int(N));
}

constexpr DWORD balloonFlags(BalloonIcon icon)
{
    switch (icon) {
    case BalloonIcon::Information:
        return NIIF_INFO;
    case BalloonIcon::Warning:
        return NIIF_WARNING;
    case BalloonIcon::Error:
        return NIIF_ERROR;
    default:
        return NIIF_NONE;
    }
}

}  // namespace

bool systemNotifyIcon(DWORD message, NOTIFYICONDATAW& data)
{
    return Shell_NotifyIconW(message, &data) != FALSE;
}

Win32TrayIcon::Win32TrayIcon(NotifyIcon notify)
    : notify_(std::move(notify))
{
    data_.cbSize = sizeof data_;
}

void Win32TrayIcon::attach(HWND window, HICON normal, HICON warning)
{
    data_.hWnd = window;
    data_.uID = kId;
    normal_ = normal;
    warning_ = warning;
}

bool Win32TrayIcon::setIcon(DWORD message, TrayPicture picture, const std::string& tip)
{
    data_.uCallbackMessage = kCallbackMessage;
    data_.hIcon = picture == TrayPicture::Warning ? warning_ : normal_;
    copyCut(data_.szTip, tip);
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return notify_(message, data_);
}

bool Win32TrayIcon::add(TrayPicture picture, const std::string& tip)
{
    shown_ = setIcon(NIM_ADD, picture, tip);
    return shown_;
}

bool Win32TrayIcon::modify(TrayPicture picture, const std::string& tip)
{
    return shown_ && setIcon(NIM_MODIFY, picture, tip);
}

void Win32TrayIcon::remove()
{
    if (!shown_)
        return;
    data_.uFlags = 0;
    notify_(NIM_DELETE, data_);
    shown_ = false;
}

bool Win32TrayIcon::showBalloon(
    const std::string& title, const std::string& text, int timeoutMs, BalloonIcon icon)
{
    if (!shown_)
        return false;
    data_.dwInfoFlags = balloonFlags(icon);
    data_.uTimeout = UINT(timeoutMs);
    data_.uFlags = NIF_INFO;
    copyCut(data_.szInfo, text);
    copyCut(data_.szInfoTitle, title);
    return notify_(NIM_MODIFY, data_);
}

// A window already hidden in the tray is not shown again just to be minimised.
void Win32WindowControl::minimise()
{
    if (IsWindowVisible(window_))
        ShowWindow(window_, SW_MINIMIZE);
}

void Win32OneShotTimer::start(int milliseconds, std::function<void()> fired)
{
    fired_ = std::move(fired);
    active_ = true;
    SetTimer(window_, kTimerId, UINT(milliseconds), nullptr);
}

void Win32OneShotTimer::fire()
{
    KillTimer(window_, kTimerId);
    active_ = false;
    // Taken out first: what it runs may start the timer again with another.
    const std::function<void()> fired = std::move(fired_);
    if (fired)
        fired();
}

}  // namespace tevra::win32
