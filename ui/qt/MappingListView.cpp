// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/MappingListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <vector>

namespace tevra {
namespace {

// The widest texts a column can show, as patterns: '#' stands for any decimal
// digit and '%' for any hex digit. The vendor and adapter columns have no
// bound; they keep their widths and show the whole text as a tooltip.
std::vector<QString> contentPatterns(int column)
{
    switch (column) {
    case kAddressColumn:
        return { "###.###.###.###" };
    case kMacColumn:
        return { "%%-%%-%%-%%-%%-%%" };
    case kInSystemCacheColumn:
        return { "yes", "no" };
    case kLastChangedColumn:
        return { "##:##:##", "-" };
    case kNetworkOrderColumn:
    case kHostOrderColumn:
        return { "##########" };  // up to 4294967295
    case kTypeColumn: {
        std::vector<QString> texts { QString::fromLatin1(kUnknownTypeText) };
        for (const char* text : kTypeTexts)
            texts.push_back(QString::fromLatin1(text));
        return texts;
    }
    default:
        return {};
    }
}

QChar widestOf(const QFontMetrics& metrics, QStringView characters)
{
    return *std::ranges::max_element(
        characters, {}, [&metrics](QChar character) { return metrics.horizontalAdvance(character); });
}

// The pattern with each digit placeholder replaced by the widest digit of the font.
QString widestText(QString pattern, const QFontMetrics& metrics)
{
    static const QString kDecimal = QStringLiteral("0123456789");
    static const QString kHex = QStringLiteral("0123456789ABCDEF");
    pattern.replace(QChar('#'), widestOf(metrics, kDecimal));
    pattern.replace(QChar('%'), widestOf(metrics, kHex));
    return pattern;
}

}  // namespace

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
        setColumnWidth(column, fittingWidth(column));
}

int MappingListView::fittingWidth(int column) const
{
    int width = std::max(kColumnWidths[std::size_t(column)], horizontalHeader()->sectionSizeHint(column));
    for (const QString& pattern : contentPatterns(column))
        width = std::max(width, cellWidth(widestText(pattern, fontMetrics()), column == kAddressColumn));
    return width;
}

int MappingListView::cellWidth(const QString& text, bool withImage) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = text;
    if (withImage)
        option.features |= QStyleOptionViewItem::HasDecoration;
    // The grid line the report style draws is taken from each cell's width.
    constexpr int kGridLine = 1;
    return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width() + kGridLine;
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
        texts.push_back(rowModel.rows().addressKey(index.row()));
    return texts;
}

}  // namespace tevra
