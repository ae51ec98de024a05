// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <string>

namespace tevra::win32 {

// The splash screen, template 138: the picture and one line of text, shown
// while the main window prepares itself.
class CSplashDlg {
public:
    CSplashDlg();
    ~CSplashDlg();
    CSplashDlg(const CSplashDlg&) = delete;
    CSplashDlg& operator=(const CSplashDlg&) = delete;

    void SetText(const std::wstring& text);
    HWND window() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The about box, template 136, modal over `owner`, the version in control 1003.
void runAboutBox(HWND owner);

}  // namespace tevra::win32
