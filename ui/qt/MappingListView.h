// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/MappingListModel.h"

#include <QTableView>

#include <array>
#include <string>
#include <vector>

namespace tevra {

// The mapping list: a report-style table over its own rows.
class MappingListView : public QTableView {
    Q_OBJECT

public:
    explicit MappingListView(QWidget* parent = nullptr);

    MappingListModel& rows() { return rowModel; }
    const MappingListModel& rows() const { return rowModel; }

    // The columns' widths in pixels, chosen for the 8-point dialog font of
    // Windows. Other fonts need more room: these are the least a column gets.
    static constexpr std::array<int, kMappingColumnCount> kColumnWidths { 110, 118, 100, 100, 137, 100, 100,
        70, 200 };

    // The nine columns, each as wide as its heading and the widest text it can
    // show in the list's font, and no narrower than kColumnWidths. Headers cannot
    // be clicked or sorted.
    void insertColumns();
    // Grid lines and full-row selection.
    void setReportStyle();

    // Column-0 texts of the selected rows, in ascending row order.
    std::vector<std::string> selectedAddressTexts() const;

private:
    int fittingWidth(int column) const;
    // The width a cell needs to show `text` whole, with the row image if asked.
    int cellWidth(const QString& text, bool withImage) const;

    MappingListModel rowModel;
};

}  // namespace tevra
