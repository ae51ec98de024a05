// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/ExportDialogs.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace tevra {

// The bytes of a saved mapping list: headings and cells of columns 0 to 8,
// each followed by a TAB, an empty line after the headings, CR LF line ends,
// UTF-8 without a byte-order mark.
QByteArray mappingFileText(const QAbstractItemModel& model);

// The bytes of a saved output list, one line per row of `lines`: each line
// followed by CR LF; empty for an empty list.
QByteArray outputFileText(const QAbstractItemModel& lines);

// "Save mapping to file" and "Save output window to file": ask for a name,
// take the text from the window's lists as they are once the dialog has
// closed, and write it in one piece (see writeUserFile for what is replaced
// and what is written in place or refused).
class TextExport {
public:
    explicit TextExport(std::unique_ptr<ExportDialogs> dialogs);

    void saveMapping(const QAbstractItemModel& mappingModel);
    void saveOutput(const QAbstractItemModel& outputLines);

    // Writes `bytes` as the whole new content of `path`; false if any step failed.
    static bool writeWholeFile(const QString& path, const QByteArray& bytes);

private:
    void save(const std::function<QByteArray()>& buildText);

    std::unique_ptr<ExportDialogs> dialogs_;
};

}  // namespace tevra
