// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/QtExportDialogs.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

TEST(SaveDialog, OffersTextFilesFirstAndAsksBeforeOverwriting)
{
    const auto dialog = QtExportDialogs::makeSaveDialog(nullptr);

    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(), QStringList({ "Textfiles (*.txt)", "All Files (*.*)" }));
    EXPECT_EQ(dialog->defaultSuffix(), "txt");
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_FALSE(dialog->isVisible());
}

TEST(WriteErrorBox, SaysErrorWritingToFileWithTheErrorIcon)
{
    QWidget owner;
    const auto box = QtExportDialogs::makeWriteErrorBox(&owner);

    EXPECT_EQ(box->text(), "Error writing to file");
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->parentWidget(), &owner);
    EXPECT_FALSE(box->isVisible());
}

}  // namespace
}  // namespace tevra::test
