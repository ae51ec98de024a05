#include "ui/ExportText.h"
#include "ui/OutputListBox.h"

#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tevra::test {
namespace {

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

}  // namespace
}  // namespace tevra::test
