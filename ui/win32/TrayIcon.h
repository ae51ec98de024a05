#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

namespace tevra::win32 {

// The notification area's one call, a seam so that tests record what the
// window asks of it.
using NotifyIcon = std::function<bool(DWORD message, NOTIFYICONDATAW& data)>;
bool systemNotifyIcon(DWORD message, NOTIFYICONDATAW& data);

// The window's icon in the notification area: id 1, callback WM_USER + 1,
// the normal icon with the tip "Tevra" or, once an alert came while the
// window was hidden, the warning icon with the tip "Tevra Warning!".
class TrayIcon {
public:
    static constexpr UINT kId = 1;
    static constexpr UINT kCallbackMessage = WM_USER + 1;
    static constexpr UINT kBalloonTimeoutMs = 10000;

    explicit TrayIcon(NotifyIcon notify);

    void attach(HWND window, HICON normal, HICON warning);

    bool add();
    bool warn();
    // After Explorer restarted: the icon as it was.
    bool addAgain();
    bool ShowBalloon(const std::wstring& text, const std::wstring& title);
    void remove();

    bool isShown() const { return shown_; }
    bool isWarning() const { return warning_; }

private:
    bool setIcon(DWORD message, bool warning);

    NotifyIcon notify_;
    NOTIFYICONDATAW data_ {};
    HICON normal_ = nullptr;
    HICON warningIcon_ = nullptr;
    bool shown_ = false;
    bool warning_ = false;
};

}  // namespace tevra::win32
