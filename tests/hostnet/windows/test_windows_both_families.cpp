// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows layer's neighbours and routes of both families against a
// scripted IP Helper API: GetIpNetTable2 where it answers, GetIpNetTable
// where it never has (Wine lists no IPv6 neighbours), GetIpForwardTable2 for
// the default routes and the lookups, DeleteIpNetEntry2 for an IPv6 entry.
// Wine has no IPv6 tables and its DeleteIpNetEntry2 ends the program, so
// what is asked of them is checked here (tests/wine holds what Wine answers).
#include "ScriptedIpHelperApi.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"
#include "hostnet/windows/SocketAddress.h"
#include "hostnet/windows/WindowsIpHelper.h"
#include "hostnet/windows/WindowsText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

namespace tevra::test {
namespace {

std::string addressWithZone(const IpAddress& address)
{
    return addressText(address) + (address.zone() != 0 ? "%" + std::to_string(address.zone()) : "");
}

std::string describe(const hostnet::MibIpNetRow& row)
{
    return addressWithZone(row.address) + " " + macText(row.bPhysAddr.data(), row.dwPhysAddrLen) + "/"
        + std::to_string(row.dwPhysAddrLen) + " type " + std::to_string(row.dwType) + " if "
        + std::to_string(row.dwIndex) + (row.isRouter ? " router" : "");
}

std::vector<std::string> described(const hostnet::ReadResult<hostnet::MibIpNetRow>& read)
{
    std::vector<std::string> rows;
    for (const hostnet::MibIpNetRow& row : read.rows.value_or(std::vector<hostnet::MibIpNetRow> {}))
        rows.push_back(describe(row));
    return rows;
}

IpAddress ip(const char* text, std::uint32_t zone = 0)
{
    return *parseAddress(text, zone);
}

class BothFamilies : public testing::Test {
protected:
    std::unique_ptr<ScriptedIpHelperApi> ownedApi = std::make_unique<ScriptedIpHelperApi>();
    ScriptedIpHelperApi& api = *ownedApi;
    std::unique_ptr<hostnet::WindowsIpHelper> host
        = std::make_unique<hostnet::WindowsIpHelper>(std::move(ownedApi));
};

// --- The neighbour table ---

TEST_F(BothFamilies, Ipv4RowsReadFromGetIpNetTable2AsFromGetIpNetTable)
{
    // The rows of the ARP table test (test_windows_ip_helper.cpp), with the
    // states their types stand for: the same lines.
    api.netTable2Status = { NO_ERROR };
    api.netRows2 = { netRow2("10.0.0.10", 1, "00-0C-29-00-00-10", NlnsReachable),
        netRow2("10.0.0.9", 1, "00-0C-29-00-00-09", NlnsPermanent),
        netRow2("10.0.0.9", 2, "00-0C-29-00-00-29", NlnsStale) };
    const hostnet::ReadResult<hostnet::MibIpNetRow> read = host->getIpNetTable();
    ASSERT_TRUE(read.rows.has_value()) << read.reason;
    EXPECT_EQ(described(read),
        (std::vector<std::string> { "10.0.0.9 00-0C-29-00-00-09/6 type 4 if 1",
            "10.0.0.9 00-0C-29-00-00-29/6 type 3 if 2", "10.0.0.10 00-0C-29-00-00-10/6 type 3 if 1" }));
    EXPECT_EQ(api.netTable2Asked, std::vector<ADDRESS_FAMILY> { AF_UNSPEC });
    EXPECT_EQ(api.freedNetTables2, 1);
    EXPECT_TRUE(api.calls.empty()) << "GetIpNetTable is not asked";
}

TEST_F(BothFamilies, NeighbourTableHoldsBothFamiliesWithStatesZonesAndRouters)
{
    api.netTable2Status = { NO_ERROR };
    // In the system's order, which is not the engine's.
    api.netRows2 = {
        netRow2("fe80::1", 2, "02-00-00-00-FE-02", NlnsReachable, true),
        netRow2("2001:db8::10", 1, "02-00-00-00-00-10", NlnsStale),
        netRow2("10.0.0.8", 1, "-", NlnsUnreachable),
        netRow2("fe80::1", 1, "02-00-00-00-FE-01", NlnsPermanent),
        netRow2("2001:db8::5", 2, "02-00-00-00-00-05", NlnsDelay),
        netRow2("10.0.0.7", 1, "-", NlnsIncomplete),
        netRow2("10.0.0.11", 1, "00-0C-29-00-00-11", NlnsProbe),
        netRow2("2001:db8::6", 2, "02-00-00-00-00-06", NlnsProbe, true),
        netRow2("ff02::16", 2, "33-33-00-00-00-16", NlnsPermanent),
        netRow2("10.0.0.12", 1, "00-0C-29-00-00-12", NlnsMaximum),
    };
    const hostnet::ReadResult<hostnet::MibIpNetRow> read = host->getIpNetTable();
    ASSERT_TRUE(read.rows.has_value()) << read.reason;
    // IPv4 first as its dotted form reads, then IPv6 by its bytes; the same
    // link-local address on two links is two neighbours, each with its zone.
    EXPECT_EQ(described(read),
        (std::vector<std::string> {
            "10.0.0.7 00-00-00-00-00-00/0 type 2 if 1",
            "10.0.0.8 00-00-00-00-00-00/0 type 2 if 1",
            "10.0.0.11 00-0C-29-00-00-11/6 type 3 if 1",
            "10.0.0.12 00-0C-29-00-00-12/6 type 1 if 1",
            "2001:db8::5 02-00-00-00-00-05/6 type 3 if 2",
            "2001:db8::6 02-00-00-00-00-06/6 type 3 if 2 router",
            "2001:db8::10 02-00-00-00-00-10/6 type 3 if 1",
            "fe80::1%1 02-00-00-00-FE-01/6 type 4 if 1",
            "fe80::1%2 02-00-00-00-FE-02/6 type 3 if 2 router",
            "ff02::16 33-33-00-00-00-16/6 type 4 if 2",
        }));
    EXPECT_EQ(api.freedNetTables2, 1);
}

// Which of the two calls a sequence of reads makes, and what it gives.
struct SourceCase {
    const char* name;
    std::vector<DWORD> table2Status;  // per read, the last one for the rest
    std::vector<ADDRESS_FAMILY> asked2;  // after both reads
    std::vector<std::string> calls;  // of GetIpNetTable, after both reads
    std::vector<std::optional<std::vector<std::string>>> reads;  // none: the read fails
};

void PrintTo(const SourceCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::vector<std::string> kArpRows { "10.0.0.3 00-0C-29-00-00-03/6 type 3 if 1" };
const std::vector<std::string> kBothRows { "10.0.0.4 00-0C-29-00-00-04/6 type 3 if 1",
    "fe80::4%1 02-00-00-00-00-04/6 type 3 if 1 router" };
const std::vector<std::string> kArpCalls { "GetIpNetTable(null, 0, 1) -> 122",
    "GetIpNetTable(buffer, 28, 1) -> 0" };

const SourceCase kSourceCases[] = {
    // Missing, or failing from the start as Wine's does: the ARP table as
    // before, and GetIpNetTable2 is not asked again.
    { "missing", { ERROR_NOT_SUPPORTED }, { AF_UNSPEC },
        { kArpCalls[0], kArpCalls[1], kArpCalls[0], kArpCalls[1] }, { kArpRows, kArpRows } },
    { "failing_as_under_wine", { ERROR_INVALID_FUNCTION }, { AF_UNSPEC },
        { kArpCalls[0], kArpCalls[1], kArpCalls[0], kArpCalls[1] }, { kArpRows, kArpRows } },
    // No neighbours of either family.
    { "nothing_found", { ERROR_NOT_FOUND }, { AF_UNSPEC, AF_UNSPEC }, {},
        { std::vector<std::string> {}, std::vector<std::string> {} } },
    // Once it has answered, a failure fails the read rather than lose the
    // IPv6 rows to a read of the ARP table.
    { "failing_after_answering", { NO_ERROR, ERROR_NOT_ENOUGH_MEMORY }, { AF_UNSPEC, AF_UNSPEC }, {},
        { kBothRows, std::nullopt } },
};

class NeighbourSource : public BothFamilies, public testing::WithParamInterface<SourceCase> { };

TEST_P(NeighbourSource, IsGetIpNetTable2WhereItAnswersElseGetIpNetTable)
{
    const SourceCase& c = GetParam();
    api.netTable2Status = c.table2Status;
    api.netRows2 = { netRow2("fe80::4", 1, "02-00-00-00-00-04", NlnsReachable, true),
        netRow2("10.0.0.4", 1, "00-0C-29-00-00-04", NlnsReachable) };
    MIB_IPNETROW arpRow {};
    arpRow.dwIndex = 1;
    arpRow.dwPhysAddrLen = 6;
    const BYTE mac[6] = { 0x00, 0x0C, 0x29, 0x00, 0x00, 0x03 };
    std::memcpy(arpRow.bPhysAddr, mac, sizeof mac);
    arpRow.dwAddr = ip("10.0.0.3").v4Value();
    arpRow.dwType = MIB_IPNET_TYPE_DYNAMIC;
    for (int read = 0; read < 2; ++read)
        api.netTable.insert(api.netTable.end(), { needsBuffer(28), netTableAnswer({ arpRow }) });

    for (const std::optional<std::vector<std::string>>& expected : c.reads) {
        const hostnet::ReadResult<hostnet::MibIpNetRow> read = host->getIpNetTable();
        ASSERT_EQ(read.rows.has_value(), expected.has_value()) << read.reason;
        if (expected)
            EXPECT_EQ(described(read), *expected);
        else
            EXPECT_EQ(read.reason,
                "reading the neighbour table: " + hostnet::systemMessage(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_EQ(api.netTable2Asked, c.asked2);
    EXPECT_EQ(api.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Cases, NeighbourSource, testing::ValuesIn(kSourceCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Routes ---

MIB_IPFORWARD_ROW2 route(
    const char* prefix, UINT8 length, const char* nextHop, NET_IFINDEX index, ULONG metric)
{
    MIB_IPFORWARD_ROW2 row {};
    row.DestinationPrefix.Prefix = hostnet::socketAddressOf(ip(prefix));
    row.DestinationPrefix.PrefixLength = length;
    const IpAddress hop = ip(nextHop, index);
    row.NextHop = hostnet::socketAddressOf(hop);
    row.InterfaceIndex = index;
    row.Metric = metric;
    return row;
}

const std::vector<MIB_IPFORWARD_ROW2> kBothFamiliesRoutes {
    route("::", 0, "fe80::1", 2, 256),
    route("0.0.0.0", 0, "10.0.0.254", 2, 50),
    route("2001:db8::", 64, "::", 2, 256),
    route("fe80::", 64, "::", 2, 256),
    route("fe80::", 64, "::", 3, 256),
    route("::", 0, "fe80::1", 3, 16),
    route("10.0.0.0", 24, "0.0.0.0", 2, 10),
    route("0.0.0.0", 0, "192.168.0.1", 3, 20),
};

TEST_F(BothFamilies, DefaultRoutesComeIpv4FirstEachLowestMetricFirst)
{
    api.forwardRows = kBothFamiliesRoutes;
    const hostnet::ReadResult<hostnet::DefaultRouteRow> read = host->getDefaultRoutes();
    ASSERT_TRUE(read.rows.has_value()) << read.reason;
    // A link-local gateway is one of its interface's link.
    EXPECT_EQ(*read.rows,
        (std::vector<hostnet::DefaultRouteRow> { { ip("192.168.0.1"), 3, 20 }, { ip("10.0.0.254"), 2, 50 },
            { ip("fe80::1", 3), 3, 16 }, { ip("fe80::1", 2), 2, 256 } }));
    EXPECT_EQ(api.freedTables, 1);
}

TEST_F(BothFamilies, RoutesOfEitherFamilyAreLookedUpInTheTableWithoutGetBestRoute2)
{
    api.forwardRows = kBothFamiliesRoutes;
    ASSERT_TRUE(host->looksUpRoutes());
    using Answer = std::optional<hostnet::RouteAnswer>;
    const IpAddress onLink6 = IpAddress::v6({});
    EXPECT_EQ(host->lookupRoute(ip("2001:db8::7")), (Answer { { 2, onLink6 } }));
    EXPECT_EQ(host->lookupRoute(ip("2001:db9::1")), (Answer { { 3, ip("fe80::1", 3) } }));
    // A link-local address only on the link of its zone.
    EXPECT_EQ(host->lookupRoute(ip("fe80::9", 3)), (Answer { { 3, onLink6 } }));
    EXPECT_EQ(host->lookupRoute(ip("fe80::9", 7)), Answer {});
    // The IPv6 default routes are none of IPv4's.
    EXPECT_EQ(host->lookupRoute(ip("8.8.8.8")), (Answer { { 3, ip("192.168.0.1") } }));
    EXPECT_EQ(host->lookupRoute(ip("10.0.0.7")), (Answer { { 2, IpAddress {} } }));
}

TEST_F(BothFamilies, GetBestRoute2IsAskedForAnIpv6AddressWithItsZone)
{
    api.bestRoute = route("::", 0, "fe80::1", 3, 16);
    ASSERT_TRUE(host->looksUpRoutes());
    EXPECT_EQ(host->lookupRoute(ip("2001:db9::1")), (hostnet::RouteAnswer { 3, ip("fe80::1", 3) }));
    EXPECT_EQ(host->lookupRoute(ip("fe80::9", 3)), (hostnet::RouteAnswer { 3, ip("fe80::1", 3) }));
    EXPECT_EQ(api.lookedUp, (std::vector<std::string> { "127.0.0.1", "2001:db9::1", "fe80::9%3" }));
}

// --- Deleting an IPv6 entry ---

struct DeleteCase {
    const char* name;
    std::vector<DWORD> table2Status;
    DWORD deleteStatus;
    std::vector<std::string> calls;
    std::string reason;  // empty: done
    hostnet::Failure kind;
};

void PrintTo(const DeleteCase& c, std::ostream* os)
{
    *os << c.name;
}

const DeleteCase kDeleteCases[] = {
    { "deleted", { NO_ERROR }, NO_ERROR, { "DeleteIpNetEntry2(fe80::1%2, 2)" }, "", hostnet::Failure::None },
    { "not_there", { NO_ERROR }, ERROR_NOT_FOUND, { "DeleteIpNetEntry2(fe80::1%2, 2)" },
        "deleting an IPv6 neighbour entry: " + hostnet::systemMessage(ERROR_NOT_FOUND),
        hostnet::Failure::NoSuchEntry },
    { "not_permitted", { NO_ERROR }, ERROR_ACCESS_DENIED, { "DeleteIpNetEntry2(fe80::1%2, 2)" },
        "deleting an IPv6 neighbour entry: " + hostnet::systemMessage(ERROR_ACCESS_DENIED),
        hostnet::Failure::NotPermitted },
    // A host that lists no IPv6 neighbours, as Wine, is not asked to delete
    // one: Wine's DeleteIpNetEntry2 would end the program.
    { "no_ipv6_table", { ERROR_INVALID_FUNCTION }, NO_ERROR, {},
        "deleting an IPv6 neighbour entry: " + hostnet::systemMessage(ERROR_NOT_SUPPORTED),
        hostnet::Failure::Other },
};

class Ipv6Delete : public BothFamilies, public testing::WithParamInterface<DeleteCase> { };

TEST_P(Ipv6Delete, NamesTheEntryByInterfaceAndAddressWithItsZone)
{
    const DeleteCase& c = GetParam();
    api.netTable2Status = c.table2Status;
    api.delete2Status = c.deleteStatus;
    hostnet::MibIpNetRow row;
    row.dwIndex = 2;
    row.address = ip("fe80::1", 2);
    row.dwPhysAddrLen = 6;
    row.bPhysAddr = { 0x02, 0, 0, 0, 0xFE, 0x02 };
    row.isRouter = true;
    const hostnet::ActionResult result = host->deleteIpNetEntry(row);
    EXPECT_EQ(result.reason, c.reason);
    EXPECT_EQ(result.kind, c.kind);
    EXPECT_EQ(result.ok(), c.reason.empty());
    EXPECT_EQ(api.calls, c.calls);
    if (api.deleted2.empty())
        return;
    // Only the address and the interface are filled in.
    MIB_IPNET_ROW2 expected {};
    expected.Address = hostnet::socketAddressOf(ip("fe80::1", 2));
    expected.InterfaceIndex = 2;
    EXPECT_EQ(std::memcmp(&api.deleted2[0], &expected, sizeof expected), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Ipv6Delete, testing::ValuesIn(kDeleteCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BothFamilies, Ipv4EntryIsStillDeletedWithDeleteIpNetEntry)
{
    api.netTable2Status = { NO_ERROR };
    hostnet::MibIpNetRow row;
    row.dwIndex = 3;
    row.address = ip("10.0.0.5");
    ASSERT_TRUE(host->deleteIpNetEntry(row).ok());
    EXPECT_EQ(api.calls, std::vector<std::string> { "DeleteIpNetEntry(3)" });
    ASSERT_EQ(api.deleted.size(), 1u);
    EXPECT_EQ(api.deleted[0].dwAddr, ip("10.0.0.5").v4Value());
    EXPECT_TRUE(api.deleted2.empty());
}

}  // namespace
}  // namespace tevra::test
