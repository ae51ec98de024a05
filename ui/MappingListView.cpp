#include "ui/MappingListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace tevra {

MappingListView::MappingListView(QWidget* parent)
    : QTableView(parent)
{
    setModel(&rowModel);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ExtendedSelection);
    setSortingEnabled(false);
    setWordWrap(false);
    setShowGrid(false);
    setIconSize(QSize(16, 16));
    // A list, not a spreadsheet: no row numbers, one fixed row height, which
    // also keeps tens of thousands of rows cheap to lay out.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void MappingListView::insertColumns()
{
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(false);
    for (int column = 0; column < kMappingColumnCount; ++column)
        setColumnWidth(column, kColumnWidths[std::size_t(column)]);
}

void MappingListView::setReportStyle()
{
    setShowGrid(true);
    setSelectionBehavior(SelectRows);
    // Room for the 16-pixel row image and a line of the list's font.
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height() + 4, 18));
}

std::vector<std::string> MappingListView::selectedAddressTexts() const
{
    QModelIndexList selected = selectionModel()->selectedRows(0);
    std::sort(selected.begin(), selected.end(),
        [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> texts;
    texts.reserve(std::size_t(selected.size()));
    for (const QModelIndex& index : selected)
        texts.push_back(rowModel.row(index.row()).cells[0]);
    return texts;
}

}  // namespace tevra
