#pragma once

#include "ui/MappingListModel.h"

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

    // The columns' widths in pixels, made for an 8-point dialog font.
    static constexpr std::array<int, kMappingColumnCount> kColumnWidths { 110, 118, 100, 100, 137, 100, 100,
        70, 200 };

    // The nine columns with their widths; headers cannot be clicked or sorted.
    void insertColumns();
    // Grid lines and full-row selection.
    void setReportStyle();

    // Column-0 texts of the selected rows, in ascending row order.
    std::vector<std::string> selectedAddressTexts() const;

private:
    MappingListModel rowModel;
};

}  // namespace tevra
