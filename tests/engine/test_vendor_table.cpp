#include "EngineFixture.h"
#include "engine/VendorTable.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

TEST(VendorTableLoad, ReadsTheLineLayout)
{
    VendorTable table;
    table.load("00000C     CISCOSYSTEMS,INC.\r\n"
               "NOSPACELINE\r\n"
               "000010     CONRADCORP. OR THOMASCONRADCORP.\r\n"
               "00000C     SECOND NAME LOSES\r\n"
               "00006C     PRIVATE\n"
               "  0050F2     LEADING BLANKS ARE NO KEY\r\n"
               "0000AA  ab\r\n"
               "0000AB     \r\n"
               "0000FF     AFTER THE LAST LINE FEED");
    EXPECT_EQ(*table.find(0x00000C), "CISCOSYSTEMS,INC.");
    EXPECT_EQ(*table.find(0x000010), "CONRADCORP. OR THOMASCONRADCORP.");
    EXPECT_EQ(*table.find(0x00006C), "PRIVATE");
    EXPECT_EQ(table.find(0x0050F2), nullptr);  // the first space comes before the key
    EXPECT_EQ(table.find(0x0000AA), nullptr);  // no name after the gap
    EXPECT_EQ(*table.find(0x0000AB), "");
    EXPECT_EQ(table.find(0x0000FF), nullptr);
    EXPECT_EQ(table.size(), 5u);  // the blank-led line is filed under key 0
}

TEST(VendorTableLoad, TextWithoutLineFeedGivesNothing)
{
    VendorTable table;
    table.load("00000C     CISCOSYSTEMS,INC.");
    EXPECT_TRUE(table.empty());
}

TEST(VendorTableLoad, HexKeyStopsAtTheFirstNonDigit)
{
    VendorTable table;
    table.load("00a0c9xyz     lower case and junk\r\n");
    EXPECT_EQ(*table.find(0x00A0C9), "lower case and junk");
}

using LookupVendor = EngineTest;

TEST_F(LookupVendor, EmptyTableLeavesTheEntryAlone)
{
    MappingEntry e;
    e.vendor = "kept";
    EXPECT_EQ(watcher.lookupVendor(e), -1);
    EXPECT_EQ(e.vendor, "kept");
}

struct ShippedCase {
    const char* name;
    std::array<std::uint8_t, 3> prefix;
    const char* vendor;  // null: no line for the prefix
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ShippedCase& c, std::ostream* os)
{
    *os << c.name;
}

const ShippedCase kShippedCases[] = {
    { "cisco", { 0x00, 0x00, 0x0C }, "Cisco Systems, Inc" },
    { "private", { 0x00, 0x00, 0x6C }, "Private" },
    { "zero_prefix", { 0x00, 0x00, 0x00 }, "XEROX CORPORATION" },
    { "ipv4_multicast", { 0x01, 0x00, 0x5E }, nullptr },
    { "broadcast", { 0xFF, 0xFF, 0xFF }, nullptr },
};

class ShippedList : public EngineTest, public ::testing::WithParamInterface<ShippedCase> { };

TEST_P(ShippedList, NamesThePrefix)
{
    watcher.loadVendorTable();
    MappingEntry e;
    std::copy(GetParam().prefix.begin(), GetParam().prefix.end(), e.mac.begin());
    e.vendor = "stale";
    if (GetParam().vendor == nullptr) {
        EXPECT_EQ(watcher.lookupVendor(e), -1);
        EXPECT_FALSE(e.vendor.has_value());
    } else {
        EXPECT_EQ(watcher.lookupVendor(e), 0);
        EXPECT_EQ(e.vendor, GetParam().vendor);
    }
}

INSTANTIATE_TEST_SUITE_P(Prefixes, ShippedList, ::testing::ValuesIn(kShippedCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShippedListText, IsWellFormed)
{
    const std::string_view text = embeddedOuiList();
    ASSERT_GT(text.size(), 100'000u);
    EXPECT_EQ(text.substr(0, 28), "000000     XEROX CORPORATION");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find('\0'), std::string_view::npos);
    VendorTable table;
    table.load(text);
    std::size_t lines = 0;
    for (const char c : text)
        lines += c == '\n';
    EXPECT_EQ(table.size(), lines);  // no prefix twice, none skipped
}

}  // namespace
}  // namespace tevra::test
