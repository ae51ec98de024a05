#include "ui/win32/TrayIcon.h"

#include <utility>

namespace tevra::win32 {
namespace {

constexpr wchar_t kNormalTip[] = L"Tevra";
constexpr wchar_t kWarningTip[] = L"Tevra Warning!";

template<std::size_t N> void copyCut(wchar_t (&target)[N], const std::wstring& text)
{
    lstrcpynW(target, text.c_str(), int(N));
}

}  // namespace

bool systemNotifyIcon(DWORD message, NOTIFYICONDATAW& data)
{
    return Shell_NotifyIconW(message, &data) != FALSE;
}

TrayIcon::TrayIcon(NotifyIcon notify)
    : notify_(std::move(notify))
{
    data_.cbSize = sizeof data_;
}

void TrayIcon::attach(HWND window, HICON normal, HICON warning)
{
    data_.hWnd = window;
    data_.uID = kId;
    normal_ = normal;
    warningIcon_ = warning;
}

bool TrayIcon::setIcon(DWORD message, bool warning)
{
    data_.uCallbackMessage = kCallbackMessage;
    data_.hIcon = warning ? warningIcon_ : normal_;
    copyCut(data_.szTip, warning ? kWarningTip : kNormalTip);
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return notify_(message, data_);
}

bool TrayIcon::add()
{
    warning_ = false;
    shown_ = setIcon(NIM_ADD, false);
    return shown_;
}

bool TrayIcon::warn()
{
    warning_ = true;
    return setIcon(NIM_MODIFY, true);
}

bool TrayIcon::addAgain()
{
    shown_ = setIcon(NIM_ADD, warning_);
    return shown_;
}

bool TrayIcon::ShowBalloon(const std::wstring& text, const std::wstring& title)
{
    data_.dwInfoFlags = NIIF_WARNING;
    data_.uTimeout = kBalloonTimeoutMs;
    data_.uFlags = NIF_INFO;
    copyCut(data_.szInfo, text);
    copyCut(data_.szInfoTitle, title);
    return notify_(NIM_MODIFY, data_);
}

void TrayIcon::remove()
{
    data_.uFlags = 0;
    notify_(NIM_DELETE, data_);
    shown_ = false;
    warning_ = false;
}

}  // namespace tevra::win32
