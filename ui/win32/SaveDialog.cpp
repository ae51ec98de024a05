// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/SaveDialog.h"

#include <commdlg.h>

#include <vector>

namespace tevra::win32 {

std::optional<std::wstring> askSavePathWithDialog(HWND owner)
{
    // A filter is pairs of texts, each ending in a zero, and a zero after the last.
    static constexpr wchar_t kFilter[] = L"Textfiles (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring initialName = L"*.txt";
    initialName.copy(path.data(), initialName.size());
    OPENFILENAMEW dialog {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = DWORD(path.size());
    dialog.lpstrDefExt = L"txt";
    dialog.Flags
        = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog))
        return std::nullopt;
    return std::wstring(path.data());
}

}  // namespace tevra::win32
