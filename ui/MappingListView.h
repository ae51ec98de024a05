#pragma once

#include "ui/MappingListModel.h"

#include <QTableView>

#include <string>
#include <vector>

namespace tevra {

// The mapping list: a report-style table over its own rows.
class CMappingListView : public QTableView {
    Q_OBJECT

public:
    explicit CMappingListView(QWidget* parent = nullptr);

    CMappingListModel& rows() { return rowModel; }
    const CMappingListModel& rows() const { return rowModel; }

    // The nine columns with their widths; headers cannot be clicked or sorted.
    void insertColumns();
    // Grid lines and full-row selection.
    void setReportStyle();

    // Column-0 texts of the selected rows, in ascending row order.
    std::vector<std::string> selectedAddressTexts() const;

private:
    CMappingListModel rowModel;
};

}  // namespace tevra
