// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace tevra::win32 {

// Asks where to save: the chosen path, or nothing when the dialog was
// cancelled. A seam, so that tests answer instead of a person.
using AskSavePath = std::function<std::optional<std::wstring>(HWND owner)>;

// The system's Save As dialog: "Textfiles (*.txt)" and "All Files (*.*)",
// ".txt" added to a name typed without extension, an existing file replaced
// only after the user agreed.
std::optional<std::wstring> askSavePathWithDialog(HWND owner);

}  // namespace tevra::win32
