#include "ui/ExportText.h"

#include "engine/MappingCells.h"
#include "ui/BalloonText.h"

#include <QString>

#include <string>
#include <vector>

namespace {

constexpr const char* kLineEnd = "\r\n";
// A heading is read into a 64-character buffer with its terminator.
constexpr int kHeadingLimit = 63;

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

tevra::MappingCells headingsOf(const QAbstractItemModel& model)
{
    tevra::MappingCells headings;
    for (int c = 0; c < tevra::kMappingColumnCount; ++c)
        headings[std::size_t(c)]
            = utf8(fitToLimit(model.headerData(c, Qt::Horizontal).toString(), kHeadingLimit));
    return headings;
}

tevra::MappingCells cellsOf(const QAbstractItemModel& model, int row)
{
    tevra::MappingCells cells;
    for (int c = 0; c < tevra::kMappingColumnCount; ++c)
        cells[std::size_t(c)] = utf8(model.index(row, c).data().toString());
    return cells;
}

}  // namespace

QByteArray mappingFileText(const QAbstractItemModel& model)
{
    std::vector<tevra::MappingCells> rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows.push_back(cellsOf(model, r));
    return QByteArray::fromStdString(tevra::mappingTableText(headingsOf(model), rows, kLineEnd));
}

QByteArray outputFileText(const QAbstractItemModel& lines)
{
    QByteArray text;
    for (int i = 0; i < lines.rowCount(); ++i) {
        text += lines.index(i, 0).data().toString().toUtf8();
        text += kLineEnd;
    }
    return text;
}
