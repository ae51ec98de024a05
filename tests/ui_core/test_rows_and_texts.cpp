// SPDX-License-Identifier: GPL-3.0-or-later
// The mapping list's rows as a list control is told of them, and the texts
// both faces show and save.
#include "engine/Address.h"
#include "ui/core/ExportText.h"
#include "ui/core/MappingRows.h"
#include "ui/core/TextFit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tevra::test {
namespace {

class RecordingList : public MappingRowsObserver {
public:
    void aboutToInsert(int first, int count) override { record("insert", first, count); }
    void inserted(int, int) override { }
    void changed(int index) override { record("changed", index, 1); }
    void aboutToRemoveAll() override { calls.push_back("remove all"); }
    void removedAll() override { }

    void record(const char* what, int first, int count)
    {
        calls.push_back(std::string(what) + " " + std::to_string(first) + "+" + std::to_string(count));
    }

    std::vector<std::string> calls;
};

// Reading 10.0.0.<lowByte>.
hostnet::IpAddress at(std::uint32_t lowByte)
{
    return hostnet::IpAddress::v4(hostToNet(0x0A000000u | (lowByte & 0xFF)));
}

MappingRow rowAt(std::uint32_t lowByte, const MacBytes& mac = { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 })
{
    MappingRow row;
    row.address = at(lowByte);
    row.mac = mac;
    row.macLength = 6;
    return row;
}

TEST(MappingRowsTest, AFirstFillIsOneInsertionAndLaterRowsGoInRunsAtTheirPlaces)
{
    RecordingList list;
    MappingRows rows(&list);
    rows.write({ rowAt(5), rowAt(1), rowAt(9) });
    EXPECT_EQ(list.calls, std::vector<std::string> { "insert 0+3" });
    list.calls.clear();

    // Two new rows between 1 and 5, one after 9; 5 rewritten the same, 9 changed.
    rows.write({ rowAt(3), rowAt(2), rowAt(5), rowAt(9, { 0x02, 0x00, 0x00, 0x00, 0x66, 0x66 }), rowAt(12) });
    EXPECT_EQ(list.calls, (std::vector<std::string> { "changed 2+1", "insert 1+2", "insert 5+1" }));
    std::vector<std::uint32_t> order;
    for (int i = 0; i < rows.size(); ++i)
        order.push_back(rows.row(i).address.data()[3]);
    EXPECT_EQ(order, (std::vector<std::uint32_t> { 1, 2, 3, 5, 9, 12 }));
    EXPECT_EQ(rows.findRow(at(9)), 4);
    EXPECT_EQ(rows.findRow(at(4)), std::nullopt);

    rows.removeAll();
    EXPECT_EQ(list.calls.back(), "remove all");
    EXPECT_EQ(rows.size(), 0);
}

TEST(TextFitTest, CutsAtACharacterBoundaryCountingUtf16Units)
{
    struct Case {
        std::string text;
        int limit;
        std::string want;
    };
    const std::vector<Case> cases {
        { "abc", 3, "abc" },
        { "abcd", 3, "abc" },
        { "", 0, "" },
        // A letter outside the basic plane takes two units and is never split.
        { "ab\xF0\x9F\x98\x80", 3, "ab" },
        { "ab\xF0\x9F\x98\x80", 4, "ab\xF0\x9F\x98\x80" },
        // "e" with a combining acute accent stays whole or goes whole.
        { "ae\xCC\x81", 2, "a" },
        { "ae\xCC\x81x", 3, "ae\xCC\x81" },
        // Two-byte letters count one unit each.
        { "\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9\xC3\xA9" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitUtf8ToLimit(c.text, c.limit), c.want) << c.text << " / " << c.limit;
}

TEST(ExportTextTest, SavedFilesAreTheSameBytesOnEverySystem)
{
    MappingRows rows;
    rows.write({ rowAt(1) });
    const std::string mapping = mappingFileBytes(rows, fitUtf8ToLimit);
    EXPECT_EQ(mapping.substr(0, mapping.find("\r\n\r\n")),
        "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t");
    EXPECT_TRUE(mapping.ends_with("\r\n"));
    EXPECT_NE(mapping.find("\r\n\r\n10.0.0.1\t00-0C-29-11-22-33\t"), std::string::npos);

    EXPECT_EQ(outputFileBytes({}), "");
    EXPECT_EQ(outputFileBytes({ "1 - a", "2 - b" }), "1 - a\r\n2 - b\r\n");
    // A face that wants another line end gets the same lines with it.
    EXPECT_EQ(outputFileBytes({ "1 - a", "2 - b" }, "\n"), "1 - a\n2 - b\n");
    const std::string lf = mappingFileBytes(rows, fitUtf8ToLimit, "\n");
    EXPECT_EQ(lf.find('\r'), std::string::npos);
    EXPECT_NE(lf.find("\t\n\n10.0.0.1\t00-0C-29-11-22-33\t"), std::string::npos);
}

}  // namespace
}  // namespace tevra::test
