// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/TextExport.h"

#include "engine/MappingCells.h"
#include "ui/core/UserFile.h"
#include "ui/qt/TextLimits.h"

#include <QFile>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tevra {

namespace {

constexpr const char* kLineEnd = "\r\n";

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

QByteArray outputFileText(const QAbstractItemModel& lines)
{
    QByteArray text;
    for (int i = 0; i < lines.rowCount(); ++i) {
        text += lines.index(i, 0).data().toString().toUtf8();
        text += kLineEnd;
    }
    return text;
}

TextExport::TextExport(std::unique_ptr<ExportDialogs> dialogs)
    : dialogs_(std::move(dialogs))
{
}

void TextExport::saveMapping(const QAbstractItemModel& mappingModel)
{
    save([&mappingModel] { return mappingFileText(mappingModel); });
}

void TextExport::saveOutput(const QAbstractItemModel& outputLines)
{
    save([&outputLines] { return outputFileText(outputLines); });
}

// Alerts go on while the dialog is open, so the text is taken only after it closed.
void TextExport::save(const std::function<QByteArray()>& buildText)
{
    const std::optional<QString> path = dialogs_->askSavePath();
    if (!path)
        return;
    if (!writeWholeFile(*path, buildText()))
        dialogs_->showWriteError();
}

bool TextExport::writeWholeFile(const QString& path, const QByteArray& bytes)
{
    return tevra::writeUserFile(QFile::encodeName(path).toStdString(),
        std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

}  // namespace tevra
