// SPDX-License-Identifier: GPL-3.0-or-later
// The mapping list: columns, cell texts, row images, order and the update rule.
#include "WindowFixture.h"
#include "ui/qt/Resources.h"

#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <sstream>

namespace tevra::test {
namespace {

using Cells = std::vector<std::string>;

class MappingListTest : public WindowTest {
protected:
    Cells rowCells(int row) const
    {
        Cells texts;
        for (int column = 0; column < rows().columnCount(); ++column)
            texts.push_back(cell(row, column).toStdString());
        return texts;
    }

    int rowOf(const char* dotted) const
    {
        const auto found = rows().findRow(ip(dotted));
        return found ? *found : -1;
    }

    bool sorted() const
    {
        for (int row = 1; row < rows().rowCount(); ++row) {
            if (rows().row(row - 1).address >= rows().row(row).address)
                return false;
        }
        return true;
    }
};

// Each column is at least as wide as the 8-point Windows dialog font needs;
// the vendor and adapter columns are exactly that wide.
TEST_F(MappingListTest, ColumnHeadersAndWidths)
{
    const std::pair<const char*, int> expected[] = {
        { "IP", 110 },
        { "MAC", 118 },
        { "in system chache", 100 },
        { "last changed", 100 },
        { "vendor", 137 },
        { "network order IP", 100 },
        { "host order IP", 100 },
        { "type", 70 },
        { "adapter", 200 },
    };
    ASSERT_EQ(rows().columnCount(), 9);
    for (int column = 0; column < 9; ++column) {
        const auto& [header, width] = expected[column];
        EXPECT_EQ(rows().headerData(column, Qt::Horizontal).toString().toStdString(), header) << column;
        EXPECT_GE(dlg.mappingList.columnWidth(column), width) << column;
    }
    EXPECT_EQ(dlg.mappingList.columnWidth(kVendorColumn), 137);
    EXPECT_EQ(dlg.mappingList.columnWidth(kAdapterColumn), 200);
    const QHeaderView* header = dlg.mappingList.horizontalHeader();
    EXPECT_FALSE(header->sectionsClickable());
    EXPECT_FALSE(dlg.mappingList.isSortingEnabled());
    EXPECT_TRUE(dlg.mappingList.showGrid());
    EXPECT_EQ(dlg.mappingList.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(dlg.mappingList.selectionMode(), QAbstractItemView::ExtendedSelection);
}

// Whether the view, painting `index` in its style, would have to elide its text.
bool cellElided(const QTableView& view, const QModelIndex& index)
{
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(index);
    option.text = index.data().toString();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!option.icon.isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.decorationSize = view.iconSize();
    }
    const QStyle* style = view.style();
    // The style keeps a focus frame margin on both sides of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, &view) + 1;
    const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view).width() - 2 * margin;
    return option.fontMetrics.elidedText(option.text, Qt::ElideRight, room) != option.text;
}

// Whether the header, painting the heading of `section`, would have to elide it.
bool headingElided(const QHeaderView& header, int section)
{
    QStyleOptionHeader option;
    option.initFrom(&header);
    option.rect = QRect(header.sectionViewportPosition(section), 0, header.sectionSize(section), 20);
    option.section = section;
    option.orientation = Qt::Horizontal;
    option.text = header.model()->headerData(section, Qt::Horizontal).toString();
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const int room = header.style()->subElementRect(QStyle::SE_HeaderLabel, &option, &header).width();
    return option.fontMetrics.elidedText(option.text, Qt::ElideRight, room) != option.text;
}

// In the font the window really uses on Linux, 8-point DejaVu Sans, every
// heading and the widest text of each column are shown whole; the vendor and
// adapter columns keep their widths and show their whole texts as tooltips.
TEST_F(MappingListTest, ColumnsShowTheirWidestTextsWhole)
{
    const QFontInfo font(dlg.mappingList.font());
    ASSERT_EQ(font.family(), QStringLiteral("DejaVu Sans"));
    ASSERT_EQ(font.pointSize(), 8);
    const std::uint32_t unknownType = 9;
    tick({ arpRow("255.255.255.255", "00-0C-29-11-22-33", 0xFFFFFFFF, hostnet::kNetTypeInvalid),
        arpRow("192.168.178.100", "00-0C-29-11-22-33", 2, unknownType),
        arpRow("192.168.178.101", "00-0C-29-11-22-33", 2, hostnet::kNetTypeDynamic) });
    now += 60 * 60 * 8 + 56 * 60 + 50;  // 22:59:59 local time
    tick({ arpRow("255.255.255.255", "FF-FF-FF-FF-FF-FF", 0xFFFFFFFF, hostnet::kNetTypeInvalid),
        arpRow("192.168.178.100", "00-0C-29-11-22-33", 2, unknownType),
        arpRow("192.168.178.101", "00-0C-29-44-55-66", 2, hostnet::kNetTypeDynamic) });
    ASSERT_EQ(rows().rowCount(), 3);
    const int broadcast = rowOf("255.255.255.255");
    EXPECT_EQ(rowCells(broadcast)[kLastChangedColumn], "22:59:59");
    EXPECT_EQ(rowCells(broadcast)[kNetworkOrderColumn], "4294967295");
    EXPECT_EQ(rowCells(broadcast)[kTypeColumn], "invalid");
    EXPECT_EQ(rowCells(rowOf("192.168.178.100"))[kTypeColumn], "unknown");
    EXPECT_FALSE(rows().data(rows().index(broadcast, kAddressColumn), Qt::DecorationRole).isNull());

    for (int column = 0; column < kMappingColumnCount; ++column) {
        EXPECT_FALSE(headingElided(*dlg.mappingList.horizontalHeader(), column)) << column;
        for (int row = 0; row < rows().rowCount(); ++row) {
            const QModelIndex index = rows().index(row, column);
            if (column == kVendorColumn || column == kAdapterColumn)
                EXPECT_EQ(index.data(Qt::ToolTipRole), index.data()) << row << "/" << column;
            else
                EXPECT_FALSE(cellElided(dlg.mappingList, index)) << row << "/" << column;
        }
    }
}

struct CellCase {
    const char* name;
    std::vector<std::pair<std::int64_t, std::vector<hostnet::MibIpNetRow>>> ticks;  // clock, ARP table
    const char* address;
    Cells expected;
};

TEST_F(MappingListTest, CellTextsOfARow)
{
    const CellCase cases[] = {
        { "new dynamic entry with a known vendor",
            { { kNow, { arpRow("192.168.0.1", "00-0C-29-11-22-33") } } }, "192.168.0.1",
            { "192.168.0.1", "00-0C-29-11-22-33", "yes", "-", "VMware, Inc.", "16820416", "3232235521",
                "dynamic", "0x2 eth0 test adapter" } },
        { "changed, then gone from the system cache, invalid type, unknown adapter",
            { { kNow, { arpRow("10.0.0.2", "00-0C-29-11-22-33", 0x1A, hostnet::kNetTypeStatic) } },
                { 1796894100, { arpRow("10.0.0.2", "00-0C-29-44-55-66", 0x1A, hostnet::kNetTypeInvalid) } },
                { 1796894200, {} } },
            "10.0.0.2",
            { "10.0.0.2", "00-0C-29-44-55-66", "no", "09:15:00", "-", "33554442", "167772162", "invalid",
                "0x1A unknown" } },
        { "broadcast MAC, no vendor, static",
            { { kNow, { arpRow("192.168.0.77", "FF-FF-FF-FF-FF-FF", 2, hostnet::kNetTypeStatic) } } },
            "192.168.0.77",
            { "192.168.0.77", "FF-FF-FF-FF-FF-FF", "yes", "-", "-", "1291888832", "3232235597", "static",
                "0x2 eth0 test adapter" } },
    };
    for (const CellCase& c : cases) {
        dlg.OnFlushProgramCache();
        for (const auto& [time, table] : c.ticks) {
            now = time;
            tick(table);
        }
        const int row = rowOf(c.address);
        ASSERT_GE(row, 0) << c.name;
        EXPECT_EQ(rowCells(row), c.expected) << c.name;
        EXPECT_EQ(rows().data(rows().index(row, 0), MappingListModel::HostAddressRole).toUInt(),
            netToHost(ip(c.address)))
            << c.name;
    }
}

QImage iconImage(const QVariant& decoration)
{
    return decoration.value<QIcon>().pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32_Premultiplied);
}

// Images print as their size and pixels, so a failure shows what differs.
std::string describe(const QImage& image)
{
    std::ostringstream text;
    text << image.width() << "x" << image.height() << ":";
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            text << " " << image.pixel(x, y);
    return text.str();
}

TEST_F(MappingListTest, RowImagesShowWhetherAnAlertWasRaised)
{
    const QImage check
        = QImage(QString::fromLatin1(kCheckImagePath)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage cross
        = QImage(QString::fromLatin1(kCrossImagePath)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(check.isNull());
    ASSERT_NE(check, cross);
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.2", "FF-FF-FF-FF-FF-FF"),
        arpRow("192.168.0.3", "01-00-5E-00-00-01") });
    const std::pair<const char*, const QImage*> expected[]
        = { { "192.168.0.1", &check }, { "192.168.0.2", &cross }, { "192.168.0.3", &cross } };
    for (const auto& [address, image] : expected) {
        const int row = rowOf(address);
        ASSERT_GE(row, 0) << address;
        EXPECT_EQ(
            describe(iconImage(rows().data(rows().index(row, 0), Qt::DecorationRole))), describe(*image))
            << address;
        EXPECT_FALSE(rows().data(rows().index(row, 1), Qt::DecorationRole).isValid()) << address;
    }
}

TEST_F(MappingListTest, NewRowsTakeTheirSortedPlaceInTheSamePass)
{
    int unsortedInsertions = 0;
    QObject::connect(&dlg.mappingList.rows(), &QAbstractItemModel::rowsInserted,
        [&] { unsortedInsertions += sorted() ? 0 : 1; });
    const std::vector<std::vector<hostnet::MibIpNetRow>> ticks = {
        { arpRow("192.168.0.1", "00-0C-29-00-00-01"), arpRow("10.0.0.10", "00-0C-29-00-00-02") },
        { arpRow("192.168.0.1", "00-0C-29-00-00-01"), arpRow("10.0.0.10", "00-0C-29-00-00-02"),
            arpRow("10.0.0.2", "00-0C-29-00-00-03"), arpRow("192.168.0.200", "00-0C-29-00-00-04"),
            arpRow("10.0.0.1", "00-0C-29-00-00-05"), arpRow("172.16.0.1", "00-0C-29-00-00-06") },
    };
    for (const auto& table : ticks)
        tick(table);
    EXPECT_EQ(column0(),
        (std::vector<std::string> {
            "10.0.0.1", "10.0.0.2", "10.0.0.10", "172.16.0.1", "192.168.0.1", "192.168.0.200" }));
    EXPECT_EQ(unsortedInsertions, 0);
}

MappingRow shownRow(std::uint32_t hostAddress)
{
    MappingRow row;
    row.address = hostnet::IpAddress::v4(hostToNet(hostAddress));
    return row;
}

TEST_F(MappingListTest, InsertionRunsBetweenListedRows)
{
    struct Case {
        std::vector<std::uint32_t> listed, added;
        int insertions;  // runs of adjacent new rows
    };
    const Case cases[] = {
        { {}, { 5, 1, 3 }, 1 },
        { { 2, 4, 6 }, { 1, 3, 5, 7, 8 }, 4 },
        { { 2, 4, 6 }, { 7, 9, 8 }, 1 },
        { { 10, 20 }, { 11, 12, 13, 1 }, 2 },
    };
    for (const Case& c : cases) {
        dlg.mappingList.rows().deleteAllRows();
        std::vector<MappingRow> listed;
        for (std::uint32_t a : c.listed)
            listed.push_back(shownRow(a));
        dlg.mappingList.rows().writeRows(std::move(listed));
        QSignalSpy inserted(&dlg.mappingList.rows(), &QAbstractItemModel::rowsInserted);
        std::vector<MappingRow> added;
        for (std::uint32_t a : c.added)
            added.push_back(shownRow(a));
        dlg.mappingList.rows().writeRows(std::move(added));
        EXPECT_EQ(inserted.count(), c.insertions);
        std::vector<std::uint32_t> all = c.listed;
        all.insert(all.end(), c.added.begin(), c.added.end());
        std::sort(all.begin(), all.end());
        ASSERT_EQ(rows().rowCount(), int(all.size()));
        for (int row = 0; row < rows().rowCount(); ++row)
            EXPECT_EQ(netToHost(rows().row(row).address.v4Value()), all[std::size_t(row)]);
    }
}

TEST_F(MappingListTest, OnlyMarkedEntriesAreRewrittenOnATick)
{
    struct Case {
        bool redisplay;
        bool all;
        const char* vendorShown;
    };
    const Case cases[] = {
        { false, false, "VMware, Inc." },
        { true, false, "Changed vendor" },
        { false, true, "Changed vendor" },
    };
    for (const Case& c : cases) {
        dlg.OnFlushProgramCache();
        tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33") });
        MappingEntry& entry = *dlg.watcher.findEntry("192.168.0.1");
        entry.vendor = "Changed vendor";
        entry.redisplay = c.redisplay;
        dlg.updateMappingList(c.all);
        EXPECT_EQ(cell(0, 4).toStdString(), c.vendorShown) << c.redisplay << c.all;
    }
}

TEST_F(MappingListTest, UnmarkedEntryWithoutARowGetsNone)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33") });
    dlg.mappingList.rows().deleteAllRows();
    dlg.watcher.findEntry("192.168.0.1")->redisplay = false;
    dlg.updateMappingList(false);
    EXPECT_EQ(rows().rowCount(), 0);
}

TEST_F(MappingListTest, OnlyRowsThatChangedAreReportedChanged)
{
    const std::vector<hostnet::MibIpNetRow> table = { arpRow("10.0.0.1", "00-0C-29-00-00-01"),
        arpRow("10.0.0.2", "00-0C-29-00-00-02"), arpRow("10.0.0.3", "00-0C-29-00-00-03") };
    tick(table);
    QSignalSpy changed(&dlg.mappingList.rows(), &QAbstractItemModel::dataChanged);
    tick(table);
    dlg.updateMappingList(true);  // every row written again, with the texts it shows
    EXPECT_EQ(changed.count(), 0);
    auto altered = table;
    altered[1] = arpRow("10.0.0.2", "00-0C-29-99-99-99");
    tick(altered);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 1);
    EXPECT_EQ(cell(1, 1), QStringLiteral("00-0C-29-99-99-99"));
}

}  // namespace
}  // namespace tevra::test
