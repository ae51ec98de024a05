// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MappingWatcher.h"
#include "ui/core/MappingRows.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace tevra::win32 {

// The mapping list, control 1000: a virtual report list (LVS_OWNERDATA) over
// the shared MappingRows; the control asks only for the cells it shows, so a
// table of tens of thousands of rows costs the visible ones.
class MappingListView : public MappingRowsObserver {
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

    const MappingRows& rows() const { return rows_; }

    void aboutToInsert(int first, int count) override;
    void inserted(int first, int count) override;
    void changed(int index) override;
    void aboutToRemoveAll() override;
    void removedAll() override;

private:
    int fittingWidth(HDC dc, int column) const;

    HWND list_ = nullptr;
    MappingRows rows_ { this };
    std::wstring cellText_;  // the text handed to the control until its next request
};

}  // namespace tevra::win32
