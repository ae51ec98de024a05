#pragma once

#include "ui/ExportDialogs.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// "Save mapping to file" and "Save output window to file": ask for a name,
// take the text from the window's lists as they are once the dialog has
// closed, and write it in one piece. A file is replaced only by a complete
// new one, so any failure leaves an existing file as it was.
class TextExport {
public:
    explicit TextExport(std::unique_ptr<ExportDialogs> dialogs);

    void OnSaveMapping(const QAbstractItemModel& mappingModel);
    void OnSaveOutput(const QAbstractItemModel& outputLines);

    // Writes `bytes` as the whole new content of `path`; false if any step failed.
    static bool writeWholeFile(const QString& path, const QByteArray& bytes);

private:
    void save(const std::function<QByteArray()>& buildText);

    std::unique_ptr<ExportDialogs> dialogs_;
};
