// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "engine/MappingCells.h"
#include "engine/TextEscape.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

std::unique_ptr<hostnet::FakeIpHelper> hostWithEth0()
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->adapters = { { 0x1A, "eth0 (virtio_net)" } };
    return fake;
}

class MappingCellsTest : public EngineTest {
protected:
    MappingCellsTest()
        : EngineTest(hostWithEth0())
    {
    }
    MappingCells cells(const char* address)
    {
        return mappingCellTexts(entry(address), watcher.networkConfig);
    }
};

TEST_F(MappingCellsTest, NewEntry)
{
    watcher.vendorTable.loadList("MA-L", "MA-L,000C29,\"VMware, Inc.\",\r\n");
    refreshWith({ row("192.168.0.1", "00-0C-29-11-22-33", 0x1A, hostnet::kNetTypeDynamic) });
    EXPECT_EQ(cells("192.168.0.1"),
        (MappingCells { "192.168.0.1", "00-0C-29-11-22-33", "yes", "-", "VMware, Inc.", "16820416",
            "3232235521", "dynamic", "0x1A eth0 (virtio_net)" }));
}

TEST_F(MappingCellsTest, ChangedAbsentUnknownAdapter)
{
    watcher.vendorTable.loadList("MA-L", "MA-L,000C29,\"VMware, Inc.\",\r\n");
    refreshWith({ row("10.0.0.2", "00-0C-29-11-22-33", 2, hostnet::kNetTypeStatic) });
    now = 1796894100;
    refreshWith({ row("10.0.0.2", "00-0C-29-44-55-66", 2, hostnet::kNetTypeInvalid) });
    refreshWith({});
    EXPECT_EQ(cells("10.0.0.2"),
        (MappingCells { "10.0.0.2", "00-0C-29-44-55-66", "no", "09:15:00", "-", "33554442", "167772162",
            "invalid", "0x2 unknown" }));
}

// IPv6 neighbours read as inet_ntop writes them, come after every IPv4 row,
// and have no numeric forms; the same link-local address on two links is two rows.
TEST_F(MappingCellsTest, Ipv6RowsFollowTheIpv4Ones)
{
    refreshWith({ row("fe80::1", "00-0C-29-11-22-33", 0x1A, hostnet::kNetTypeDynamic),
        row("2001:DB8:0:0:1::1", "00-0C-29-11-22-34", 0x1A, hostnet::kNetTypeDynamic),
        row("10.0.0.9", "00-0C-29-11-22-35", 0x1A, hostnet::kNetTypeDynamic),
        row("fe80::1", "00-0C-29-11-22-36", 0x2, hostnet::kNetTypeDynamic) });
    std::vector<std::string> order;
    for (const auto& [address, entry] : watcher.programCache)
        order.push_back(zonedAddressText(address) + " " + mappingCellTexts(*entry, watcher.networkConfig)[1]);
    EXPECT_EQ(order,
        (std::vector<std::string> { "10.0.0.9 00-0C-29-11-22-35", "2001:db8::1:0:0:1 00-0C-29-11-22-34",
            "fe80::1%2 00-0C-29-11-22-36", "fe80::1%26 00-0C-29-11-22-33" }));
    EXPECT_EQ(cells("fe80::1%26"),
        (MappingCells { "fe80::1", "00-0C-29-11-22-33", "yes", "-", "-", "-", "-", "dynamic",
            "0x1A eth0 (virtio_net)" }));
    // A link-local address without its interface is its entry on the lowest one.
    EXPECT_EQ(cells("fe80::1")[1], "00-0C-29-11-22-36");
}

// Randomised phone and virtual machine MACs carry no registered vendor; the
// column says why instead of showing nothing.
TEST_F(MappingCellsTest, LocallyAdministeredMac)
{
    watcher.vendorTable.loadList("MA-L", "MA-L,000C29,\"VMware, Inc.\",\r\n");
    refreshWith({ row("10.0.0.4", "DA-A1-19-6B-2C-01", 0x1A, hostnet::kNetTypeDynamic),
        row("10.0.0.5", "03-00-00-00-00-01", 0x1A, hostnet::kNetTypeDynamic) });
    EXPECT_EQ(cells("10.0.0.4")[4], "locally administered");
    EXPECT_EQ(cells("10.0.0.5")[4], "-");  // a group address is no device's
}

TEST_F(MappingCellsTest, TypesAndUnresolvedMac)
{
    const std::pair<std::uint32_t, const char*> types[] = { { 1, "other" }, { 2, "invalid" },
        { 3, "dynamic" }, { 4, "static" }, { 0, "unknown" }, { 5, "unknown" } };
    for (const auto& [type, text] : types) {
        refreshWith({ row("10.0.0.3", "", 0x1A, type) });
        EXPECT_EQ(cells("10.0.0.3")[7], text);
        EXPECT_EQ(cells("10.0.0.3")[1], "00-00-00-00-00-00");
        watcher.clearProgramCache();
    }
}

TEST_F(MappingCellsTest, UnresolvedEntriesNameNoVendor)
{
    watcher.vendorTable.loadList(
        "MA-L", "MA-L,000000,XEROX CORPORATION,\r\nMA-L,000C29,\"VMware, Inc.\",\r\n");
    refreshWith({
        row("10.0.0.4", "00-0C-29-11-22-33", 0x1A, hostnet::kNetTypeDynamic),
        row("10.0.0.5", "", 0x1A, hostnet::kNetTypeInvalid),
        // Windows' unresolved entry, and Wine's group rows without a MAC.
        row("10.0.0.6", "00-00-00-00-00-00", 0x1A, hostnet::kNetTypeDynamic),
        row("224.0.0.22", "", 1, hostnet::kNetTypeStatic),
    });
    EXPECT_EQ(cells("10.0.0.4")[4], "VMware, Inc.");
    EXPECT_EQ(cells("10.0.0.5")[4], "-");
    EXPECT_EQ(cells("10.0.0.6")[4], "-");
    EXPECT_EQ(cells("224.0.0.22")[4], "-");
}

TEST(MappingTableText, HeadingsEmptyLineAndRows)
{
    EXPECT_EQ(mappingTableText(mappingHeadings(), {}, "\r\n"),
        "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t"
        "\r\n\r\n");
    const MappingCells row { "a", "b", "c", "d", "e\tf", "g", "h", "i", "j" };
    EXPECT_EQ(mappingTableText(MappingCells {}, { row, row }, "\n"),
        "\t\t\t\t\t\t\t\t\t\n\na\tb\tc\td\te\tf\tg\th\ti\tj\t\na\tb\tc\td\te\tf\tg\th\ti\tj\t\n");
}

TEST(MappingColumns, Headings)
{
    EXPECT_STREQ(kMappingHeadings[2], "in system chache");
    EXPECT_STREQ(kMappingHeadings[8], "adapter");
}

// Names from the system or the LAN reach terminals and tab-separated files.
TEST(EscapedControlBytes, OnlyControlBytesAreWrittenOut)
{
    const std::pair<std::string, std::string> cases[] = {
        { "eth0 (e1000e)", "eth0 (e1000e)" },
        { "e\x1b]0;x\x07", "e\\x1b]0;x\\x07" },
        { "a\tb\nc\x7f", "a\\x09b\\x0ac\\x7f" },
        { std::string("nul\0end", 7), "nul\\x00end" },
        { "Veszpr\xC3\xA9m", "Veszpr\xC3\xA9m" },
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(escapedControlBytes(text), want);
}

}  // namespace
}  // namespace tevra::test
