// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/QtExportDialogs.h"

#include <QStringList>

namespace tevra {

QtExportDialogs::QtExportDialogs(QWidget* parent)
    : parent_(parent)
{
}

std::unique_ptr<QFileDialog> QtExportDialogs::makeSaveDialog(QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters({ QStringLiteral("Textfiles (*.txt)"), QStringLiteral("All Files (*.*)") });
    // A name typed without an extension gets ".txt".
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    // The first filter already lists only *.txt files, which is what an initial
    // name of "*.txt" does elsewhere; the name box starts empty.
    dialog->selectFile(QString());
    // Replacing an existing file needs a yes to the dialog's own question.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    return dialog;
}

std::unique_ptr<QMessageBox> QtExportDialogs::makeWriteErrorBox(QWidget* parent)
{
    return std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Error"),
        QStringLiteral("Error writing to file"), QMessageBox::Ok, parent);
}

std::optional<QString> QtExportDialogs::askSavePath()
{
    const std::unique_ptr<QFileDialog> dialog = makeSaveDialog(parent_);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

void QtExportDialogs::showWriteError()
{
    makeWriteErrorBox(parent_)->exec();
}

}  // namespace tevra
