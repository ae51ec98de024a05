#pragma once

#include "engine/MappingWatcher.h"
#include "ui/MappingRow.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace tevra::win32 {

// The mapping list, control 1000: a virtual report list (LVS_OWNERDATA) whose
// rows live here in ascending host-order address; the control asks only for
// the cells it shows, so a table of tens of thousands of rows costs the
// visible ones. A row changes only when it is written again, so an entry not
// marked for redisplay keeps its old texts.
class MappingListView {
public:
    static constexpr int kColumnWidths[kMappingColumnCount] { 110, 118, 100, 100, 137, 100, 100, 70, 200 };

    void attach(HWND list) { list_ = list; }
    HWND window() const { return list_; }

    // The nine columns, each as wide as its widest possible text in the list's
    // font and no narrower than kColumnWidths.
    void insertColumns();
    void setRowImages(HIMAGELIST images);

    // Writes the rows of the entries marked for redisplay, or of all entries.
    void update(CMappingWatcher& watcher, bool all);
    void deleteAllRows();

    // The address texts of the selected rows, in display order.
    std::vector<std::string> selectedAddresses() const;

    // LVN_GETDISPINFOW: the text and image of one cell.
    void onGetDispInfo(NMLVDISPINFOW& info);

    const std::vector<MappingRow>& rows() const { return rows_; }

private:
    int fittingWidth(HDC dc, int column) const;
    void showRowCount();

    HWND list_ = nullptr;
    std::vector<MappingRow> rows_;
    std::wstring cellText_;  // the text handed to the control until its next request
};

}  // namespace tevra::win32
