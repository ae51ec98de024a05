// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/ExportDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace tevra {

// The save dialog and the error message box of the desktop, owned by `parent`.
class QtExportDialogs : public ExportDialogs {
public:
    explicit QtExportDialogs(QWidget* parent);

    std::optional<QString> askSavePath() override;
    void showWriteError() override;

    // The dialogs as they are shown, for a look at how they are set up.
    static std::unique_ptr<QFileDialog> makeSaveDialog(QWidget* parent);
    static std::unique_ptr<QMessageBox> makeWriteErrorBox(QWidget* parent);

private:
    QPointer<QWidget> parent_;
};

}  // namespace tevra
