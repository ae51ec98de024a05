#include "ui/ExportText.h"

#include "engine/MappingCells.h"
#include "ui/BalloonText.h"

#include <QListWidgetItem>
#include <QString>

#include <string>
#include <vector>

namespace tevra {

namespace {

constexpr const char* kLineEnd = "\r\n";
// A heading is read into a 64-character buffer with its terminator.
constexpr int kHeadingLimit = 63;

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

MappingCells headingsOf(const QAbstractItemModel& model)
{
    MappingCells headings;
    for (int c = 0; c < kMappingColumnCount; ++c)
        headings[std::size_t(c)]
            = utf8(fitToLimit(model.headerData(c, Qt::Horizontal).toString(), kHeadingLimit));
    return headings;
}

MappingCells cellsOf(const QAbstractItemModel& model, int row)
{
    MappingCells cells;
    for (int c = 0; c < kMappingColumnCount; ++c)
        cells[std::size_t(c)] = utf8(model.index(row, c).data().toString());
    return cells;
}

}  // namespace

QByteArray mappingFileText(const QAbstractItemModel& model)
{
    std::vector<MappingCells> rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows.push_back(cellsOf(model, r));
    return QByteArray::fromStdString(mappingTableText(headingsOf(model), rows, kLineEnd));
}

QByteArray outputFileText(const QListWidget& list)
{
    QByteArray text;
    for (int i = 0; i < list.count(); ++i) {
        text += list.item(i)->text().toUtf8();
        text += kLineEnd;
    }
    return text;
}

}  // namespace tevra
