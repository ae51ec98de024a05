// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tevra::win32 {

// The output list, control 1001: one numbered line per alert, oldest first,
// its horizontal scroll range following the widest line.
class COutputListBox {
public:
    void attach(HWND listBox) { listBox_ = listBox; }
    HWND window() const { return listBox_; }

    int AddString(const std::wstring& line);
    int DeleteString(int index);
    // Every line removed, the scroll range back to 0.
    void clear();

    int count() const;
    std::vector<std::wstring> lines() const;
    int widestExtent() const { return widestExtent_; }

private:
    void UpdateExtent(const std::wstring& line);
    int measure(const std::wstring& line, int edges) const;

    HWND listBox_ = nullptr;
    int widestExtent_ = 0;
};

}  // namespace tevra::win32
