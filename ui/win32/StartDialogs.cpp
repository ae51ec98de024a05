// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/StartDialogs.h"

#include "engine/Version.h"
#include "ui/win32/ResourceIds.h"
#include "ui/win32/WideText.h"

namespace tevra::win32 {
namespace {

INT_PTR CALLBACK splashProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_VERSION, wideFromUtf8(kVersion).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

CSplashDlg::CSplashDlg()
    : window_(
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SPLASH), nullptr, splashProc, 0))
{
    if (!window_)
        return;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
}

CSplashDlg::~CSplashDlg()
{
    if (window_)
        DestroyWindow(window_);
}

void CSplashDlg::SetText(const std::wstring& text)
{
    if (!window_)
        return;
    SetDlgItemTextW(window_, IDC_SPLASH_LINE, text.c_str());
    // The pauses that follow handle no messages: paint now.
    UpdateWindow(window_);
}

void runAboutBox(HWND owner)
{
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}

}  // namespace tevra::win32
