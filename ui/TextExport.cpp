#include "ui/TextExport.h"

#include "ui/ExportText.h"

#include <QSaveFile>

#include <optional>
#include <utility>

TextExport::TextExport(std::unique_ptr<ExportDialogs> dialogs)
    : dialogs_(std::move(dialogs))
{
}

void TextExport::OnSaveMapping(const QAbstractItemModel& mappingModel)
{
    save([&mappingModel] { return mappingFileText(mappingModel); });
}

void TextExport::OnSaveOutput(const QAbstractItemModel& outputLines)
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
    QSaveFile file(path);
    // Writing in place would leave a half-written file behind on failure.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a full disk fails the write itself: commit() would not
    // notice a failure of the final flush and would put a cut file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
