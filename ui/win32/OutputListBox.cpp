// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/OutputListBox.h"

#include <algorithm>

namespace tevra::win32 {

int COutputListBox::AddString(const std::wstring& line)
{
    const auto index = int(SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())));
    if (index >= 0)
        UpdateExtent(line);
    return index;
}

void COutputListBox::UpdateExtent(const std::wstring& line)
{
    const int width = measure(line, 3 * GetSystemMetrics(SM_CXEDGE));
    if (width <= widestExtent_)
        return;
    widestExtent_ = width;
    SendMessageW(listBox_, LB_SETHORIZONTALEXTENT, WPARAM(width), 0);
}

int COutputListBox::DeleteString(int index)
{
    const auto left = int(SendMessageW(listBox_, LB_DELETESTRING, WPARAM(index), 0));
    if (left < 0)
        return left;
    widestExtent_ = 0;
    for (const std::wstring& line : lines())
        widestExtent_ = std::max(widestExtent_, measure(line, 3 * GetSystemMetrics(SM_CXBORDER)));
    SendMessageW(listBox_, LB_SETHORIZONTALEXTENT, WPARAM(widestExtent_), 0);
    return left;
}

void COutputListBox::clear()
{
    // All at once: removing the lines one by one measures the rest each time.
    if (count() == 0)
        return;
    SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
    widestExtent_ = 0;
    SendMessageW(listBox_, LB_SETHORIZONTALEXTENT, 0, 0);
}

int COutputListBox::measure(const std::wstring& line, int edges) const
{
    HDC dc = GetDC(listBox_);
    const HGDIOBJ oldFont
        = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(listBox_, WM_GETFONT, 0, 0)));
    SIZE size {};
    GetTextExtentPoint32W(dc, line.c_str(), int(line.size()), &size);
    SelectObject(dc, oldFont);
    ReleaseDC(listBox_, dc);
    return size.cx + edges;
}

int COutputListBox::count() const
{
    return int(SendMessageW(listBox_, LB_GETCOUNT, 0, 0));
}

std::vector<std::wstring> COutputListBox::lines() const
{
    std::vector<std::wstring> all;
    for (int i = 0; i < count(); ++i) {
        const auto length = SendMessageW(listBox_, LB_GETTEXTLEN, WPARAM(i), 0);
        std::wstring line(std::size_t(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const auto copied
            = SendMessageW(listBox_, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(line.data()));
        line.resize(std::size_t(std::max<LRESULT>(copied, 0)));
        all.push_back(std::move(line));
    }
    return all;
}

}  // namespace tevra::win32
