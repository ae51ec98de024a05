// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeExportDialogs.h"
#include "ui/qt/OutputListBox.h"
#include "ui/qt/TextExport.h"

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

// --- The bytes of the two files ---

const QStringList kHeadings { "IP", "MAC", "in system chache", "last changed", "vendor", "network order IP",
    "host order IP", "type", "adapter" };
const QByteArray kHeadingLine
    = "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t\r\n";

std::unique_ptr<QStandardItemModel> mappingModel(const std::vector<QStringList>& rows)
{
    auto model = std::make_unique<QStandardItemModel>(0, int(kHeadings.size()));
    model->setHorizontalHeaderLabels(kHeadings);
    for (const QStringList& cells : rows) {
        QList<QStandardItem*> items;
        for (const QString& cell : cells)
            items << new QStandardItem(cell);
        model->appendRow(items);
    }
    return model;
}

const QStringList kRow1 { "192.168.0.1", "00-0C-29-11-22-33", "yes", "-", "VMware, Inc.", "16820416",
    "3232235521", "dynamic", "0x2 eth0" };
const QStringList kRow2 { "192.168.0.7", "FF-FF-FF-FF-FF-FF", "no", "09:15:00", "-", "117483712",
    "3232235527", "static", "0x2 eth0" };
const QStringList kRow3 { "10.0.0.1", "00-00-00-00-00-00", "yes", "-", "-", "16777226", "167772161",
    "invalid", "0x3 " };

TEST(MappingFileText, GivesTheExactBytes)
{
    struct Case {
        const char* name;
        std::vector<QStringList> rows;
        QByteArray want;
    };
    const std::vector<Case> cases {
        { "no rows", {}, kHeadingLine + "\r\n" },
        { "three rows", { kRow1, kRow2, kRow3 },
            kHeadingLine + "\r\n"
                + "192.168.0.1\t00-0C-29-11-22-33\tyes\t-\tVMware, Inc.\t16820416\t3232235521\tdynamic\t0x2 "
                  "eth0\t\r\n"
                + "192.168.0.7\tFF-FF-FF-FF-FF-FF\tno\t09:15:00\t-\t117483712\t3232235527\tstatic\t0x2 "
                  "eth0\t\r\n"
                + "10.0.0.1\t00-00-00-00-00-00\tyes\t-\t-\t16777226\t167772161\tinvalid\t0x3 \t\r\n" },
        { "a cell with a TAB and empty cells", { { "1.2.3.4", "a\tb", "", "", "", "", "", "", "" } },
            kHeadingLine + "\r\n" + "1.2.3.4\ta\tb\t\t\t\t\t\t\t\t\r\n" },
        { "text beyond ASCII, no byte-order mark",
            { { "1.2.3.4", "", "", "", QString::fromUtf8("M\xC3\xBCller GmbH"), "", "", "", "" } },
            kHeadingLine + "\r\n" + "1.2.3.4\t\t\t\tM\xC3\xBCller GmbH\t\t\t\t\t\r\n" },
    };
    for (const Case& c : cases) {
        const auto model = mappingModel(c.rows);
        EXPECT_EQ(mappingFileText(*model), c.want) << c.name;
    }
}

TEST(MappingFileText, ThreeRowsGiveFiveLinesWithNineTabsExceptTheEmptyOne)
{
    const auto model = mappingModel({ kRow1, kRow2, kRow3 });
    const QList<QByteArray> lines = mappingFileText(*model).split('\n');
    ASSERT_EQ(lines.size(), 6);  // five lines and the nothing after the last line end
    EXPECT_EQ(lines[1], "\r");
    EXPECT_EQ(lines[5], "");
    for (const int i : { 0, 2, 3, 4 }) {
        EXPECT_EQ(lines[i].count('\t'), 9) << i;
        EXPECT_TRUE(lines[i].endsWith("\t\r")) << i;
    }
}

TEST(MappingFileText, AModelWithFewerColumnsStillGivesNineFields)
{
    QStandardItemModel model(1, 2);
    model.setHorizontalHeaderLabels({ "IP", "MAC" });
    model.setItem(0, 0, new QStandardItem("1.2.3.4"));
    EXPECT_EQ(
        mappingFileText(model), QByteArray("IP\tMAC\t\t\t\t\t\t\t\t\r\n\r\n1.2.3.4\t\t\t\t\t\t\t\t\t\r\n"));
}

TEST(OutputFileText, GivesOneLineWithCrLfPerOutputLine)
{
    struct Case {
        QStringList lines;
        QByteArray want;
    };
    const std::vector<Case> cases {
        { {}, "" },
        { { "1 - a", "2 - b", "3 - c" }, "1 - a\r\n2 - b\r\n3 - c\r\n" },
        { { "" }, "\r\n" },
        { { QString::fromUtf8("4 - \xC3\xA9t\xC3\xA9") }, "4 - \xC3\xA9t\xC3\xA9\r\n" },
    };
    for (const Case& c : cases) {
        COutputListBox list;
        for (const QString& line : c.lines)
            list.AddString(line);
        EXPECT_EQ(outputFileText(list.lines()), c.want) << c.lines.join('|').toStdString();
    }
}

// --- The save commands ---

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
        mapping.setHorizontalHeaderLabels(kHeadings);
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
    exporter->saveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")), "1 - first\r\n2 - second\r\n3 - third\r\n");
    EXPECT_EQ(dialogs->errorsShown, 0);
}

TEST_F(TextExportTest, SavingTheMappingWritesHeadingsAndTheEmptyLine)
{
    dialogs->answer = path("map.txt");
    exporter->saveMapping(mapping);

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
    exporter->saveOutput(output.lines());

    QFile saved(path("out.txt"));
    EXPECT_TRUE(saved.exists());
    EXPECT_EQ(saved.size(), 0);
    EXPECT_EQ(dialogs->errorsShown, 0);
}

TEST_F(TextExportTest, AnExistingLongerFileIsReplacedWhole)
{
    writeFile(path("out.txt"), QByteArray(5000, 'z'));
    dialogs->answer = path("out.txt");
    exporter->saveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")), "1 - first\r\n2 - second\r\n3 - third\r\n");
}

TEST_F(TextExportTest, TheTextIsTakenAfterTheDialogCloses)
{
    dialogs->answer = path("out.txt");
    dialogs->whileOpen = [this] { output.AddString("4 - arrived while the dialog was open"); };
    exporter->saveOutput(output.lines());

    EXPECT_EQ(contentsOf(path("out.txt")),
        "1 - first\r\n2 - second\r\n3 - third\r\n4 - arrived while the dialog was open\r\n");
}

TEST_F(TextExportTest, CancellingWritesNothingAndShowsNothing)
{
    writeFile(path("kept.txt"), "kept");
    for (const bool mappingCommand : { false, true }) {
        dialogs->answer.reset();
        if (mappingCommand)
            exporter->saveMapping(mapping);
        else
            exporter->saveOutput(output.lines());
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
    exporter->saveOutput(output.lines());

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
            exporter->saveMapping(mapping);
        } else {
            exporter->saveOutput(output.lines());
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
