// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows host layer against a scripted IP Helper API: the call sequences
// Windows asks for, and the answers it (and Wine) can give. Wine only stubs
// DeleteIpNetEntry and FlushIpNetTable, so what the write side asks for is
// checked here, never by a run under Wine.
#include "ScriptedIpHelperApi.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"
#include "engine/MappingWatcher.h"
#include "hostnet/windows/WindowsIpHelper.h"
#include "hostnet/windows/WindowsText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

namespace tevra::test {
namespace {

DWORD address(const char* dotted)
{
    return *parseDottedQuad(dotted);
}

hostnet::IpAddress v4(const char* dotted)
{
    return *parseAddress(dotted);
}

MIB_IPNETROW netRow(const char* dotted, DWORD index, BYTE last, DWORD type = MIB_IPNET_TYPE_DYNAMIC)
{
    MIB_IPNETROW row {};
    row.dwIndex = index;
    row.dwPhysAddrLen = 6;
    const BYTE mac[6] = { 0x00, 0x0C, 0x29, 0x00, 0x00, last };
    std::memcpy(row.bPhysAddr, mac, sizeof mac);
    row.dwAddr = address(dotted);
    row.dwType = type;
    return row;
}

MIB_IPADDRROW addrRow(const char* dotted, DWORD index, const char* mask, unsigned short type)
{
    MIB_IPADDRROW row {};
    row.dwAddr = address(dotted);
    row.dwIndex = index;
    row.dwMask = address(mask);
    row.wType = type;
    return row;
}

std::string describe(const hostnet::MibIpNetRow& row)
{
    return addressText(row.address) + " " + macText(row.bPhysAddr.data()) + "/"
        + std::to_string(row.dwPhysAddrLen) + " type " + std::to_string(row.dwType) + " if "
        + std::to_string(row.dwIndex);
}

// The Windows layer on the scripted API, which the test keeps a hold of.
class ScriptedWindows : public testing::Test {
protected:
    std::unique_ptr<ScriptedIpHelperApi> ownedApi = std::make_unique<ScriptedIpHelperApi>();
    ScriptedIpHelperApi& api = *ownedApi;
    std::unique_ptr<hostnet::WindowsIpHelper> host
        = std::make_unique<hostnet::WindowsIpHelper>(std::move(ownedApi));
};

// --- Reading the ARP table ---

// Wine's order: by interface, then address.
const std::vector<MIB_IPNETROW> kRows {
    netRow("10.0.0.10", 1, 0x10),
    netRow("10.0.0.9", 1, 0x09, MIB_IPNET_TYPE_STATIC),
    netRow("10.0.0.9", 2, 0x29),
};
const std::vector<std::string> kRowsInAddressOrder {
    "10.0.0.9 00-0C-29-00-00-09/6 type 4 if 1",
    "10.0.0.9 00-0C-29-00-00-29/6 type 3 if 2",
    "10.0.0.10 00-0C-29-00-00-10/6 type 3 if 1",
};
// A table of n rows takes the count and n rows of 24 bytes.
constexpr ULONG tableSize(int rows)
{
    return 4 + 24 * rows;
}

struct ReadCase {
    const char* name;
    std::vector<TableAnswer> answers;
    std::vector<std::string> calls;
    std::optional<std::vector<std::string>> rows;  // none: the read fails
    std::string error;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

const ReadCase kReadCases[] = {
    { "filled_after_size_call", { needsBuffer(tableSize(3)), netTableAnswer(kRows) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 76, 1) -> 0" }, kRowsInAddressOrder,
        "" },
    { "empty_table_is_no_data", { needsBuffer(0, ERROR_NO_DATA) }, { "GetIpNetTable(null, 0, 1) -> 232" },
        std::vector<std::string> {}, "" },
    { "grew_between_the_calls",
        { needsBuffer(tableSize(2)), needsBuffer(tableSize(3)), netTableAnswer(kRows) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 52, 1) -> 122",
            "GetIpNetTable(buffer, 76, 1) -> 0" },
        kRowsInAddressOrder, "" },
    { "emptied_between_the_calls", { needsBuffer(tableSize(3)), needsBuffer(0, ERROR_NO_DATA) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 76, 1) -> 232" },
        std::vector<std::string> {}, "" },
    { "kept_growing",
        { needsBuffer(tableSize(1)), needsBuffer(tableSize(2)), needsBuffer(tableSize(3)),
            needsBuffer(tableSize(4)) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 28, 1) -> 122",
            "GetIpNetTable(buffer, 52, 1) -> 122", "GetIpNetTable(buffer, 76, 1) -> 122" },
        std::nullopt, "reading the ARP table: the table kept changing while it was read" },
    { "size_call_refused", { needsBuffer(0, ERROR_NOT_SUPPORTED) }, { "GetIpNetTable(null, 0, 1) -> 50" },
        std::nullopt, "reading the ARP table: " + hostnet::systemMessage(ERROR_NOT_SUPPORTED) },
    { "fill_refused", { needsBuffer(tableSize(3)), needsBuffer(0, ERROR_ACCESS_DENIED) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 76, 1) -> 5" }, std::nullopt,
        "reading the ARP table: " + hostnet::systemMessage(ERROR_ACCESS_DENIED) },
    { "counts_more_rows_than_it_holds", { needsBuffer(tableSize(1)), netTableAnswer({ kRows[0] }, 2) },
        { "GetIpNetTable(null, 0, 1) -> 122", "GetIpNetTable(buffer, 28, 1) -> 0" }, std::nullopt,
        "reading the ARP table: the table holds fewer rows than it counts" },
};

class ArpTableRead : public ScriptedWindows, public testing::WithParamInterface<ReadCase> { };

TEST_P(ArpTableRead, AsksForTheSizeThenTheSortedTable)
{
    const ReadCase& c = GetParam();
    api.netTable.assign(c.answers.begin(), c.answers.end());
    const hostnet::ReadResult<hostnet::MibIpNetRow> read = host->getIpNetTable();
    const auto& table = read.rows;
    EXPECT_EQ(api.calls, c.calls);
    ASSERT_EQ(table.has_value(), c.rows.has_value()) << read.reason;
    if (table) {
        std::vector<std::string> rows;
        for (const hostnet::MibIpNetRow& row : *table)
            rows.push_back(describe(row));
        EXPECT_EQ(rows, *c.rows);
    } else {
        EXPECT_EQ(read.reason, c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ArpTableRead, testing::ValuesIn(kReadCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Interface addresses and adapters ---

TEST_F(ScriptedWindows, AddressTableGivesEachInterfacesPrimaryAddressFirst)
{
    // Sorted by address, Windows puts a secondary address before the primary one.
    api.addrTable = { needsBuffer(tableSize(3)),
        addrTableAnswer({ addrRow("10.1.0.1", 2, "255.255.0.0", 0),
            addrRow("10.1.0.5", 2, "255.255.0.0", MIB_IPADDR_PRIMARY),
            addrRow("127.0.0.1", 1, "255.0.0.0", MIB_IPADDR_PRIMARY) }) };
    const hostnet::ReadResult<hostnet::MibIpAddrRow> read = host->getIpAddrTable();
    const auto& table = read.rows;
    ASSERT_TRUE(table.has_value()) << read.reason;
    std::vector<std::string> rows;
    for (const hostnet::MibIpAddrRow& row : *table)
        rows.push_back(
            dottedText(row.dwAddr) + "/" + dottedText(row.dwMask) + " if " + std::to_string(row.dwIndex));
    EXPECT_EQ(rows,
        (std::vector<std::string> {
            "10.1.0.5/255.255.0.0 if 2", "127.0.0.1/255.0.0.0 if 1", "10.1.0.1/255.255.0.0 if 2" }));
    EXPECT_EQ(api.calls,
        (std::vector<std::string> {
            "GetIpAddrTable(null, 0, 1) -> 122", "GetIpAddrTable(buffer, 76, 1) -> 0" }));
}

MIB_IPFORWARD_ROW2 forwardRow(
    const char* prefix, UINT8 length, const char* nextHop, NET_IFINDEX index, ULONG metric)
{
    MIB_IPFORWARD_ROW2 row {};
    row.DestinationPrefix.Prefix.si_family = AF_INET;
    row.DestinationPrefix.Prefix.Ipv4.sin_addr.S_un.S_addr = address(prefix);
    row.DestinationPrefix.PrefixLength = length;
    row.NextHop.si_family = AF_INET;
    row.NextHop.Ipv4.sin_addr.S_un.S_addr = address(nextHop);
    row.InterfaceIndex = index;
    row.Metric = metric;
    return row;
}

TEST_F(ScriptedWindows, DefaultRoutesComeLowestMetricFirstAndTheTableIsFreed)
{
    api.forwardRows = { forwardRow("0.0.0.0", 0, "10.0.0.254", 2, 50),
        forwardRow("10.0.0.0", 24, "0.0.0.0", 2, 10), forwardRow("0.0.0.0", 0, "192.168.0.1", 3, 20) };
    const hostnet::ReadResult<hostnet::DefaultRouteRow> read = host->getDefaultRoutes();
    ASSERT_TRUE(read.rows.has_value()) << read.reason;
    EXPECT_EQ(*read.rows,
        (std::vector<hostnet::DefaultRouteRow> {
            { v4("192.168.0.1"), 3, 20 }, { v4("10.0.0.254"), 2, 50 } }));
    EXPECT_EQ(api.freedTables, 1);
}

TEST_F(ScriptedWindows, RoutesAreLookedUpByGetBestRoute2OrElseInTheTable)
{
    // Neither an answer nor a table: nothing can be looked up.
    EXPECT_FALSE(host->looksUpRoutes());
    EXPECT_EQ(api.lookedUp, std::vector<std::string> { "127.0.0.1" });
    // Without GetBestRoute2, as under Wine: the longest prefix, then the lowest metric.
    api.forwardRows
        = { forwardRow("0.0.0.0", 0, "10.0.0.254", 2, 50), forwardRow("0.0.0.0", 2, "10.0.0.66", 2, 60),
              forwardRow("10.0.0.0", 24, "0.0.0.0", 2, 10), forwardRow("10.0.0.0", 24, "0.0.0.0", 3, 5) };
    EXPECT_TRUE(host->looksUpRoutes());
    using Answer = std::optional<hostnet::RouteAnswer>;
    EXPECT_EQ(host->lookupRoute(v4("8.8.8.8")), (Answer { { 2, v4("10.0.0.66") } }));
    EXPECT_EQ(host->lookupRoute(v4("200.1.1.1")), (Answer { { 2, v4("10.0.0.254") } }));
    EXPECT_EQ(host->lookupRoute(v4("10.0.0.7")), (Answer { { 3, v4("0.0.0.0") } }));

    auto answering = std::make_unique<ScriptedIpHelperApi>();
    answering->bestRoute = forwardRow("0.0.0.0", 0, "10.0.0.254", 2, 50);
    ScriptedIpHelperApi& api2 = *answering;
    hostnet::WindowsIpHelper host2(std::move(answering));
    EXPECT_TRUE(host2.looksUpRoutes());
    EXPECT_EQ(host2.lookupRoute(v4("8.8.8.8")), (hostnet::RouteAnswer { 2, v4("10.0.0.254") }));
    EXPECT_EQ(api2.lookedUp, (std::vector<std::string> { "127.0.0.1", "8.8.8.8" }));
}

TEST_F(ScriptedWindows, AdaptersComeInChainOrderWithTheirDescriptions)
{
    const ULONG size = 2 * sizeof(IP_ADAPTER_INFO);
    api.adapters = { needsBuffer(size, ERROR_BUFFER_OVERFLOW),
        adaptersAnswer({ { 7, "Intel(R) Ethernet Connection I219-V" }, { 3, "Wi-Fi" } }) };
    const hostnet::ReadResult<hostnet::IpAdapterInfo> read = host->getAdaptersInfo();
    const auto& adapters = read.rows;
    ASSERT_TRUE(adapters.has_value()) << read.reason;
    ASSERT_EQ(adapters->size(), 2u);
    EXPECT_EQ((*adapters)[0].Index, 7u);
    EXPECT_EQ((*adapters)[0].Description, "Intel(R) Ethernet Connection I219-V");
    EXPECT_EQ((*adapters)[1].Index, 3u);
    EXPECT_EQ((*adapters)[1].Description, "Wi-Fi");
    EXPECT_EQ(api.calls,
        (std::vector<std::string> { "GetAdaptersInfo(null, 0) -> 111",
            "GetAdaptersInfo(buffer, " + std::to_string(size) + ") -> 0" }));
}

struct DamagedChain {
    const char* name;
    std::function<void(IP_ADAPTER_INFO* first, std::byte* end)> damage;
};

void PrintTo(const DamagedChain& c, std::ostream* os)
{
    *os << c.name;
}

const DamagedChain kDamagedChains[] = {
    { "link_out_of_the_buffer",
        [](IP_ADAPTER_INFO* first, std::byte* end) {
            first->Next = reinterpret_cast<IP_ADAPTER_INFO*>(end);
        } },
    { "link_to_itself", [](IP_ADAPTER_INFO* first, std::byte*) { first->Next = first; } },
};

class DamagedAdapterList : public ScriptedWindows, public testing::WithParamInterface<DamagedChain> { };

TEST_P(DamagedAdapterList, FailsInsteadOfWalkingOn)
{
    const ULONG size = sizeof(IP_ADAPTER_INFO);
    const TableAnswer one = adaptersAnswer({ { 7, "Ethernet" } });
    api.adapters = { needsBuffer(size, ERROR_BUFFER_OVERFLOW),
        { NO_ERROR, size, [one, this](std::byte* buffer) {
             one.fill(buffer);
             GetParam().damage(reinterpret_cast<IP_ADAPTER_INFO*>(buffer), buffer + sizeof(IP_ADAPTER_INFO));
         } } };
    const hostnet::ReadResult<hostnet::IpAdapterInfo> read = host->getAdaptersInfo();
    EXPECT_FALSE(read.rows.has_value());
    EXPECT_EQ(read.reason, "reading the network adapters: the adapter list is damaged");
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedAdapterList, testing::ValuesIn(kDamagedChains),
    [](const auto& info) { return std::string(info.param.name); });

// --- The engine's actions, down to the calls Windows sees ---

class ScriptedEngine : public ScriptedWindows {
protected:
    // The snapshot at start: two adapters, each with an address of its own subnet.
    CMappingWatcher& watcher()
    {
        if (!watcher_) {
            api.addrTable = { needsBuffer(tableSize(2)),
                addrTableAnswer({ addrRow("10.1.0.1", 2, "255.255.0.0", MIB_IPADDR_PRIMARY),
                    addrRow("192.168.0.1", 3, "255.255.0.0", MIB_IPADDR_PRIMARY) }) };
            api.adapters = { needsBuffer(2 * sizeof(IP_ADAPTER_INFO), ERROR_BUFFER_OVERFLOW),
                adaptersAnswer({ { 2, "Ethernet" }, { 3, "Wi-Fi" } }) };
            watcher_ = std::make_unique<CMappingWatcher>(std::move(host), fixedClock(0));
            api.calls.clear();
        }
        return *watcher_;
    }

private:
    std::unique_ptr<CMappingWatcher> watcher_;
};

TEST_F(ScriptedEngine, DeleteNamesTheEntryByInterfaceAndAddressAlone)
{
    api.netTable = { needsBuffer(tableSize(1)),
        netTableAnswer({ netRow("10.0.0.5", 3, 0x05, MIB_IPNET_TYPE_STATIC) }) };
    ASSERT_EQ(watcher().refresh(), 0);
    api.calls.clear();

    EXPECT_EQ(watcher().deleteFromSystemCache("10.0.0.5"), 0);
    ASSERT_EQ(api.deleted.size(), 1u);
    MIB_IPNETROW expected {};
    expected.dwIndex = 3;
    expected.dwAddr = address("10.0.0.5");
    EXPECT_EQ(std::memcmp(&api.deleted[0], &expected, sizeof expected), 0)
        << "only index and address are filled in";
    EXPECT_NE(watcher().findEntry("10.0.0.5"), nullptr);

    // Not in the program cache: Windows is not asked.
    EXPECT_EQ(watcher().deleteFromSystemCache("10.0.0.6"), -1);
    EXPECT_EQ(api.calls, (std::vector<std::string> { "DeleteIpNetEntry(3)" }));

    api.deleteStatus = ERROR_NOT_FOUND;
    watcher().takeActionFailures();
    EXPECT_EQ(watcher().deleteFromSystemCache("10.0.0.5"), -1);
    const std::vector<ActionFailure> failures = watcher().takeActionFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, "deleting an ARP entry: " + hostnet::systemMessage(ERROR_NOT_FOUND));
}

TEST_F(ScriptedEngine, FlushAsksForTheAdaptersAfreshAndFlushesEachInChainOrder)
{
    watcher();
    api.adapters = { needsBuffer(2 * sizeof(IP_ADAPTER_INFO), ERROR_BUFFER_OVERFLOW),
        adaptersAnswer({ { 7, "USB Ethernet" }, { 3, "Wi-Fi" } }) };
    // A refusal for one adapter, as Wine's stub gives, does not stop the
    // others, and is said rather than passed off as done.
    api.flushStatus = { ERROR_NOT_SUPPORTED };
    EXPECT_EQ(watcher().flushSystemCache(), -1);
    const std::vector<ActionFailure> failures = watcher().takeActionFailures();
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_EQ(failures[0].reason,
        "flushing the ARP table of interface 7: " + hostnet::systemMessage(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(api.calls,
        (std::vector<std::string> { "GetAdaptersInfo(null, 0) -> 111",
            "GetAdaptersInfo(buffer, " + std::to_string(2 * sizeof(IP_ADAPTER_INFO)) + ") -> 0",
            "FlushIpNetTable(7)", "FlushIpNetTable(3)" }));
}

TEST_F(ScriptedEngine, DiscoverStartsOneHiddenPingPerSubnetInOrderWithoutWaiting)
{
    EXPECT_EQ(watcher().discoverByPing(), 0);
    EXPECT_EQ(api.calls,
        (std::vector<std::string> { "CreateProcessA(ping -n 1 10.1.255.255)", "CloseHandle(thread)",
            "CloseHandle(process)", "CreateProcessA(ping -n 1 192.168.255.255)", "CloseHandle(thread)",
            "CloseHandle(process)" }));
}

// --- One ping ---

struct PingCase {
    const char* name;
    std::string text;
    bool started;
};

void PrintTo(const PingCase& c, std::ostream* os)
{
    *os << c.name;
}

const PingCase kPingCases[] = {
    { "subnet_broadcast", "10.1.255.255", true },
    { "longest_address", "192.168.255.255", true },
    { "option_behind_the_address", "10.1.255.255 -t", false },
    { "option_alone", "-t", false },
    { "empty", "", false },
    { "three_parts", "10.1.255", false },
    { "five_parts", "10.1.255.255.1", false },
    { "part_too_large", "10.256.0.1", false },
    { "leading_zero", "010.1.0.1", false },
    { "empty_part", "10..0.1", false },
};

class Ping : public ScriptedWindows, public testing::WithParamInterface<PingCase> { };

TEST_P(Ping, StartsOnlyAnAddressHiddenAndLetsGoOfIt)
{
    const PingCase& c = GetParam();
    const hostnet::ActionResult started = host->startPing(c.text);
    if (!c.started) {
        EXPECT_EQ(started.status, -1);
        EXPECT_TRUE(api.calls.empty());
        EXPECT_EQ(started.reason, "ping: not an IPv4 address: " + c.text);
        return;
    }
    EXPECT_EQ(started.status, 0);
    ASSERT_EQ(api.started.size(), 1u);
    const ScriptedIpHelperApi::ProcessStart& start = api.started[0];
    // Named whole: without a name Windows would look in the working folder first.
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(start.application, std::string(system, length) + "\\ping.exe");
    EXPECT_EQ(start.commandLine, "ping -n 1 " + c.text);
    EXPECT_FALSE(start.processAttributes);
    EXPECT_FALSE(start.threadAttributes);
    EXPECT_EQ(start.inheritHandles, FALSE);
    EXPECT_EQ(start.creationFlags, 0u);
    EXPECT_FALSE(start.environment);
    EXPECT_FALSE(start.currentDirectory);
    STARTUPINFOA hidden {};
    hidden.cb = sizeof hidden;
    hidden.dwFlags = STARTF_USESHOWWINDOW;
    hidden.wShowWindow = SW_HIDE;
    EXPECT_EQ(std::memcmp(&start.startup, &hidden, sizeof hidden), 0) << "zero but size, flag and show state";
    // Both handles go at once; nothing waits for the process.
    EXPECT_EQ(api.calls,
        (std::vector<std::string> {
            "CreateProcessA(ping -n 1 " + c.text + ")", "CloseHandle(thread)", "CloseHandle(process)" }));
}

INSTANTIATE_TEST_SUITE_P(Cases, Ping, testing::ValuesIn(kPingCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedWindows, PingThatCannotStartFailsWithTheSystemsReason)
{
    api.processStarted = FALSE;
    api.processError = ERROR_FILE_NOT_FOUND;
    const hostnet::ActionResult started = host->startPing("10.1.255.255");
    EXPECT_EQ(started.status, -1);
    EXPECT_TRUE(api.closed.empty());
    EXPECT_EQ(started.reason, "starting ping: " + hostnet::systemMessage(ERROR_FILE_NOT_FOUND));
}

// --- The system's texts ---

TEST(SystemMessage, IsTheSystemsOneLineTextWithTheNumber)
{
    const std::string denied = hostnet::systemMessage(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(denied.ends_with(" (error 5)")) << denied;
    EXPECT_GT(denied.size(), std::string(" (error 5)").size());
    EXPECT_EQ(denied.find_first_of("\r\n"), std::string::npos) << denied;
    // A code the system has no text for still says which it was.
    EXPECT_EQ(hostnet::systemMessage(0x20001234), "error 536875572");
}

}  // namespace
}  // namespace tevra::test
