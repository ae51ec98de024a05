// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/MappingListView.h"

#include "engine/MappingCells.h"
#include "ui/win32/WideText.h"

#include <algorithm>

namespace tevra::win32 {
namespace {

// The widest texts a column can show, as patterns: '#' stands for the widest
// decimal digit and '%' for the widest hex digit. The vendor and adapter
// columns have no bound and keep their widths.
std::vector<std::wstring> contentPatterns(int column)
{
    switch (column) {
    case kAddressColumn:
        return { L"###.###.###.###" };
    case kMacColumn:
        return { L"%%-%%-%%-%%-%%-%%" };
    case kInSystemCacheColumn:
        return { L"yes", L"no" };
    case kLastChangedColumn:
        return { L"##:##:##", L"-" };
    case kNetworkOrderColumn:
    case kHostOrderColumn:
        return { L"##########" };
    case kTypeColumn: {
        std::vector<std::wstring> texts { wideFromUtf8(kUnknownTypeText) };
        for (const char* text : kTypeTexts)
            texts.push_back(wideFromUtf8(text));
        return texts;
    }
    default:
        return {};
    }
}

int textWidth(HDC dc, const std::wstring& text)
{
    SIZE size {};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    return size.cx;
}

wchar_t widestOf(HDC dc, std::wstring_view characters)
{
    return *std::ranges::max_element(
        characters, {}, [dc](wchar_t character) { return textWidth(dc, std::wstring(1, character)); });
}

std::wstring widestText(HDC dc, std::wstring pattern)
{
    const wchar_t decimal = widestOf(dc, L"0123456789");
    const wchar_t hex = widestOf(dc, L"0123456789ABCDEF");
    std::ranges::replace(pattern, L'#', decimal);
    std::ranges::replace(pattern, L'%', hex);
    return pattern;
}

}  // namespace

void MappingListView::insertColumns()
{
    HDC dc = GetDC(list_);
    const HGDIOBJ oldFont
        = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list_, WM_GETFONT, 0, 0)));
    for (int column = 0; column < kMappingColumnCount; ++column) {
        std::wstring heading = wideFromUtf8(kMappingHeadings[std::size_t(column)]);
        LVCOLUMNW description {};
        description.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        description.fmt = LVCFMT_LEFT;
        description.cx = fittingWidth(dc, column);
        description.pszText = heading.data();
        description.iSubItem = column;
        SendMessageW(list_, LVM_INSERTCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&description));
    }
    SelectObject(dc, oldFont);
    ReleaseDC(list_, dc);
}

int MappingListView::fittingWidth(HDC dc, int column) const
{
    // The control's own margins around a cell's text, and the row image in column 0.
    const int margins = 2 * GetSystemMetrics(SM_CXEDGE) + 12;
    const int image = column == kAddressColumn ? GetSystemMetrics(SM_CXSMICON) + 4 : 0;
    int width = std::max(
        kColumnWidths[column], textWidth(dc, wideFromUtf8(kMappingHeadings[std::size_t(column)])) + margins);
    for (const std::wstring& pattern : contentPatterns(column))
        width = std::max(width, textWidth(dc, widestText(dc, pattern)) + margins + image);
    return width;
}

void MappingListView::setRowImages(HIMAGELIST images)
{
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

void MappingListView::update(CMappingWatcher& watcher, bool all)
{
    rows_.writeRedisplayed(watcher, all);
}

void MappingListView::deleteAllRows()
{
    rows_.removeAll();
}

void MappingListView::aboutToInsert(int, int)
{
}

void MappingListView::inserted(int, int)
{
    SendMessageW(list_, LVM_SETITEMCOUNT, WPARAM(rows_.size()), LVSICF_NOSCROLL);
    InvalidateRect(list_, nullptr, FALSE);
}

void MappingListView::changed(int index)
{
    SendMessageW(list_, LVM_REDRAWITEMS, WPARAM(index), LPARAM(index));
}

void MappingListView::aboutToRemoveAll()
{
}

void MappingListView::removedAll()
{
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
}

std::vector<std::string> MappingListView::selectedAddresses() const
{
    std::vector<std::string> addresses;
    for (auto row = SendMessageW(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
         row >= 0 && row < rows_.size();
         row = SendMessageW(list_, LVM_GETNEXTITEM, WPARAM(row), LVNI_SELECTED))
        addresses.push_back(rows_.addressKey(int(row)));
    return addresses;
}

void MappingListView::onGetDispInfo(NMLVDISPINFOW& info)
{
    LVITEMW& item = info.item;
    if (item.iItem < 0 || item.iItem >= rows_.size())
        return;
    if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < kMappingColumnCount) {
        // Into the control's buffer, cut to its size, as LVM_GETITEMTEXTW reads it.
        cellText_ = wideFromUtf8(rows_.text(item.iItem, item.iSubItem));
        if (item.pszText && item.cchTextMax > 0)
            lstrcpynW(item.pszText, cellText_.c_str(), item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = rows_.row(item.iItem).alertFree ? 0 : 1;
}

}  // namespace tevra::win32
