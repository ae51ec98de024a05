#include "FakeExportDialogs.h"
#include "ui/OutputListBox.h"
#include "ui/TextExport.h"

#include <QDir>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace tevra::test {
namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class TextExportTest : public ::testing::Test {
protected:
    TextExportTest()
    {
        auto fake = std::make_unique<FakeExportDialogs>();
        dialogs = fake.get();
        exporter = std::make_unique<TextExport>(std::move(fake));
        for (const char* line : { "1 - first", "2 - second", "3 - third" })
            output.AddString(line);
        mapping.setHorizontalHeaderLabels({ "IP", "MAC", "in system chache", "last changed", "vendor",
            "network order IP", "host order IP", "type", "adapter" });
    }

    QString path(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    COutputListBox output;
    QStandardItemModel mapping { 0, 9 };
    FakeExportDialogs* dialogs = nullptr;
    std::unique_ptr<TextExport> exporter;
};

TEST_F(TextExportTest, SavingTheOutputWritesItsLines)
{
    dialogs->answer = path("out.txt");
    exporter->OnSaveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")), "1 - first\r\n2 - second\r\n3 - third\r\n");
    EXPECT_EQ(dialogs->errorsShown, 0);
}

TEST_F(TextExportTest, SavingTheMappingWritesHeadingsAndTheEmptyLine)
{
    dialogs->answer = path("map.txt");
    exporter->OnSaveMapping(mapping);

    EXPECT_EQ(contentsOf(path("map.txt")),
        "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t"
        "\r\n\r\n");
    EXPECT_EQ(dialogs->errorsShown, 0);
}

TEST_F(TextExportTest, AnEmptyOutputListTruncatesAnExistingFileToNothing)
{
    writeFile(path("out.txt"), "older and longer contents\r\n");
    output.clear();
    dialogs->answer = path("out.txt");
    exporter->OnSaveOutput(output.lines());

    QFile saved(path("out.txt"));
    EXPECT_TRUE(saved.exists());
    EXPECT_EQ(saved.size(), 0);
    EXPECT_EQ(dialogs->errorsShown, 0);
}

TEST_F(TextExportTest, AnExistingLongerFileIsReplacedWhole)
{
    writeFile(path("out.txt"), QByteArray(5000, 'z'));
    dialogs->answer = path("out.txt");
    exporter->OnSaveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")), "1 - first\r\n2 - second\r\n3 - third\r\n");
}

TEST_F(TextExportTest, TheTextIsTakenAfterTheDialogCloses)
{
    dialogs->answer = path("out.txt");
    dialogs->whileOpen = [this] { output.AddString("4 - arrived while the dialog was open"); };
    exporter->OnSaveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")),
        "1 - first\r\n2 - second\r\n3 - third\r\n4 - arrived while the dialog was open\r\n");
}

TEST_F(TextExportTest, CancellingWritesNothingAndShowsNothing)
{
    writeFile(path("kept.txt"), "kept");
    for (const bool mappingCommand : { false, true }) {
        dialogs->answer.reset();
        if (mappingCommand)
            exporter->OnSaveMapping(mapping);
        else
            exporter->OnSaveOutput(output.lines());
    }

    EXPECT_EQ(dialogs->dialogsShown, 2);
    EXPECT_EQ(dialogs->errorsShown, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "kept.txt" }));
    EXPECT_EQ(contentsOf(path("kept.txt")), "kept");
}

TEST_F(TextExportTest, AFolderThatVanishedWhileTheDialogWasOpenGivesTheErrorBox)
{
    const QString folder = path("gone");
    ASSERT_TRUE(QDir().mkdir(folder));
    dialogs->answer = folder + "/out.txt";
    dialogs->whileOpen = [&folder] { QDir(folder).removeRecursively(); };
    exporter->OnSaveOutput(output.lines());

    EXPECT_EQ(dialogs->errorsShown, 1);
    EXPECT_FALSE(QFile::exists(folder));
}

// A file system of its own that is already full: writing fails only after the
// file was opened, when the text is flushed.
class FullFileSystemTest : public TextExportTest {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root";
        mountPoint = path("full");
        ASSERT_TRUE(QDir().mkdir(mountPoint));
        const QByteArray where = QFile::encodeName(mountPoint);
        if (::mount("tevra-test", where.constData(), "tmpfs", 0, "size=16k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted = true;
        writeFile(mountPoint + "/out.txt", "the old file\r\n");
        fill(mountPoint + "/filler");
    }

    void TearDown() override
    {
        if (mounted)
            ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    }

    static void fill(const QString& filler)
    {
        QFile file(filler);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(1024, 'f');
        for (int i = 0; i < 64 && file.write(block) == block.size(); ++i) { }
    }

    QString mountPoint;
    bool mounted = false;
};

TEST_F(FullFileSystemTest, AFailedWriteShowsTheErrorAndLeavesTheOldFile)
{
    for (int i = 0; i < 200; ++i)
        output.AddString(
            QString("%1 - a line long enough to need more than the space that is left").arg(i + 4));
    for (const bool mappingCommand : { false, true }) {
        dialogs->errorsShown = 0;
        dialogs->answer = mountPoint + "/out.txt";
        if (mappingCommand) {
            for (int r = 0; r < 200; ++r)
                mapping.appendRow(new QStandardItem(QString("10.0.%1.%2").arg(r / 256).arg(r % 256)));
            exporter->OnSaveMapping(mapping);
        } else {
            exporter->OnSaveOutput(output.lines());
        }

        EXPECT_EQ(dialogs->errorsShown, 1) << mappingCommand;
        EXPECT_EQ(contentsOf(mountPoint + "/out.txt"), "the old file\r\n") << mappingCommand;
        EXPECT_EQ(
            QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), QStringList({ "filler", "out.txt" }))
            << mappingCommand;
    }
}

}  // namespace
}  // namespace tevra::test
