#include "ui/TextExport.h"

#include "ui/ExportText.h"
#include "ui/UserFile.h"

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

void TextExport::OnSaveOutput(const QListWidget& outputList)
{
    save([&outputList] { return outputFileText(outputList); });
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
    return tevra::writeUserFile(path, bytes);
}
