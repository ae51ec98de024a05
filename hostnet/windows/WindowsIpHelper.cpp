// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/windows/WindowsIpHelper.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/windows/SocketAddress.h"
#include "hostnet/windows/WindowsText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace tevra::hostnet {
namespace {

// Both answers that mean "give me a buffer of the size just written".
bool wantsBuffer(DWORD status)
{
    return status == ERROR_INSUFFICIENT_BUFFER || status == ERROR_BUFFER_OVERFLOW;
}

// Rows of a table in a filled buffer, or nothing when the count the table
// gives does not fit into what was delivered.
template<typename Table, typename Row>
std::optional<std::pair<const Row*, DWORD>> tableRows(const std::byte* bytes, ULONG size)
{
    constexpr std::size_t header = offsetof(Table, table);
    if (bytes == nullptr)
        return std::pair<const Row*, DWORD> { nullptr, 0 };
    if (size < header)
        return std::nullopt;
    const auto* table = reinterpret_cast<const Table*>(bytes);
    if (table->dwNumEntries > (size - header) / sizeof(Row))
        return std::nullopt;
    return std::pair<const Row*, DWORD> { table->table, table->dwNumEntries };
}

// Four decimal parts of 0 to 255 and nothing else: the only text that may
// reach the ping command line.
bool isDottedQuad(const std::string& text)
{
    int parts = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('.', at), text.size());
        const std::string part = text.substr(at, end - at);
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')
            || !std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; })
            || std::stoi(part) > 255)
            return false;
        ++parts;
        at = end + 1;
    }
    return parts == 4;
}

// What a caller can make of a Windows error: deleting or flushing needs an
// administrator; an entry that is not there is already deleted.
Failure failureKind(DWORD status)
{
    switch (status) {
    case ERROR_ACCESS_DENIED:
        return Failure::NotPermitted;
    case ERROR_NOT_FOUND:
        return Failure::NoSuchEntry;
    default:
        return Failure::Other;
    }
}

// The entry type a neighbour state stands for, as GetIpNetTable gives it
// for an IPv4 row.
std::uint32_t typeOfState(NL_NEIGHBOR_STATE state)
{
    switch (state) {
    case NlnsPermanent:
        return kNetTypeStatic;
    case NlnsReachable:
    case NlnsStale:
    case NlnsDelay:
    case NlnsProbe:
        return kNetTypeDynamic;
    case NlnsUnreachable:
    case NlnsIncomplete:
        return kNetTypeInvalid;
    default:
        return kNetTypeOther;
    }
}

// The rows of both families in the engine's order, each with the type its
// state stands for, as an IPv4 row has it from GetIpNetTable.
std::vector<MibIpNetRow> neighbourRows(std::span<const MIB_IPNET_ROW2> table)
{
    std::vector<MibIpNetRow> rows;
    rows.reserve(table.size());
    for (const MIB_IPNET_ROW2& row : table) {
        const std::optional<IpAddress> address = ipAddressOf(row.Address, row.InterfaceIndex);
        if (!address)
            continue;
        MibIpNetRow& copy = rows.emplace_back();
        copy.dwIndex = row.InterfaceIndex;
        copy.dwPhysAddrLen = row.PhysicalAddressLength;
        std::memcpy(copy.bPhysAddr.data(), row.PhysicalAddress, copy.bPhysAddr.size());
        copy.address = *address;
        copy.dwType = typeOfState(row.State);
        copy.isRouter = address->isV6() && row.IsRouter;
    }
    sortNeighbourRows(rows);
    return rows;
}

// A table the system allocated, freed through the seam on every way out.
template<typename Table> class MibTable {
public:
    explicit MibTable(IpHelperApi& api)
        : api_(api)
    {
    }
    MibTable(const MibTable&) = delete;
    MibTable& operator=(const MibTable&) = delete;
    ~MibTable()
    {
        if (table_ != nullptr)
            api_.freeMibTable(table_);
    }
    Table** out() { return &table_; }
    // The rows; none where the call left no table.
    std::span<const std::remove_extent_t<decltype(Table::Table)>> rows() const
    {
        if (table_ == nullptr)
            return {};
        return { table_->Table, table_->NumEntries };
    }

private:
    IpHelperApi& api_;
    Table* table_ = nullptr;
};

std::string reasonFor(const char* what, const std::string& why)
{
    return std::string(what) + ": " + why;
}

// A failed action in the system's words, of the kind `status` is.
ActionResult failedWith(const char* what, DWORD status)
{
    return ActionResult::failed(reasonFor(what, systemMessage(status)), failureKind(status));
}

}  // namespace

std::unique_ptr<IpHelper> makePlatformIpHelper()
{
    return std::make_unique<WindowsIpHelper>(makeSystemIpHelperApi());
}

WindowsIpHelper::WindowsIpHelper(std::unique_ptr<IpHelperApi> api)
    : api_(std::move(api))
{
}

template<typename Fill> WindowsIpHelper::Filled WindowsIpHelper::readTable(const char* what, Fill fill)
{
    ULONG size = 0;
    DWORD status = fill(nullptr, &size);
    for (int attempt = 0;; ++attempt) {
        // Windows answers an empty table with "no data", not with zero rows.
        if (status == ERROR_NO_DATA || (status == NO_ERROR && attempt == 0))
            return {};
        if (!wantsBuffer(status))
            return { nullptr, 0, reasonFor(what, systemMessage(status)) };
        if (attempt == kFillAttempts)
            return { nullptr, 0, reasonFor(what, "the table kept changing while it was read") };
        // Allocated right before the call that fills it, released on every way out.
        Filled filled { std::unique_ptr<std::byte[]>(new (std::nothrow) std::byte[size]), size, {} };
        if (size == 0 || !filled.bytes)
            return { nullptr, 0, reasonFor(what, systemMessage(ERROR_NOT_ENOUGH_MEMORY)) };
        status = fill(filled.bytes.get(), &filled.size);
        if (status == NO_ERROR)
            return filled;
        // The table grew since the size was asked for: `filled.size` is the new size.
        size = filled.size;
    }
}

ReadResult<MibIpNetRow> WindowsIpHelper::getIpNetTable()
{
    if (neighbourTable2Answers_.has_value() && !*neighbourTable2Answers_)
        return readArpTable();
    MibTable<MIB_IPNET_TABLE2> table(*api_);
    const DWORD status = api_->getIpNetTable2(AF_UNSPEC, table.out());
    // "Not found" is a table without rows.
    if (status != NO_ERROR && status != ERROR_NOT_FOUND) {
        // Once it has answered, a failure is a failed read: the IPv6 rows
        // must not vanish for a read of the ARP table alone.
        if (neighbourTable2Answers_.value_or(false))
            return ReadResult<MibIpNetRow>::failed(
                reasonFor("reading the neighbour table", systemMessage(status)));
        neighbourTable2Answers_ = false;
        return readArpTable();
    }
    neighbourTable2Answers_ = true;
    return neighbourRows(table.rows());
}

bool WindowsIpHelper::neighbourTable2Answers()
{
    if (!neighbourTable2Answers_) {
        MibTable<MIB_IPNET_TABLE2> table(*api_);
        const DWORD status = api_->getIpNetTable2(AF_UNSPEC, table.out());
        neighbourTable2Answers_ = status == NO_ERROR || status == ERROR_NOT_FOUND;
    }
    return *neighbourTable2Answers_;
}

ReadResult<MibIpNetRow> WindowsIpHelper::readArpTable()
{
    constexpr const char* kWhat = "reading the ARP table";
    const auto filled = readTable(kWhat, [this](std::byte* buffer, PULONG size) {
        return api_->getIpNetTable(reinterpret_cast<PMIB_IPNETTABLE>(buffer), size, TRUE);
    });
    if (filled.failed())
        return ReadResult<MibIpNetRow>::failed(filled.reason);
    const auto rows = tableRows<MIB_IPNETTABLE, MIB_IPNETROW>(filled.bytes.get(), filled.size);
    if (!rows)
        return ReadResult<MibIpNetRow>::failed(reasonFor(kWhat, "the table holds fewer rows than it counts"));
    std::vector<MibIpNetRow> table;
    table.reserve(rows->second);
    for (const MIB_IPNETROW& row : std::span(rows->first, rows->second)) {
        MibIpNetRow copy;
        copy.dwIndex = row.dwIndex;
        copy.dwPhysAddrLen = row.dwPhysAddrLen;
        std::memcpy(copy.bPhysAddr.data(), row.bPhysAddr, copy.bPhysAddr.size());
        copy.address = IpAddress::v4(row.dwAddr);
        copy.dwType = row.dwType;
        table.push_back(copy);
    }
    // Windows sorts by interface first; the engine walks rows in address order.
    sortNeighbourRows(table);
    return table;
}

ReadResult<MibIpAddrRow> WindowsIpHelper::getIpAddrTable()
{
    constexpr const char* kWhat = "reading the interface addresses";
    const auto filled = readTable(kWhat, [this](std::byte* buffer, PULONG size) {
        return api_->getIpAddrTable(reinterpret_cast<PMIB_IPADDRTABLE>(buffer), size, TRUE);
    });
    if (filled.failed())
        return ReadResult<MibIpAddrRow>::failed(filled.reason);
    const auto rows = tableRows<MIB_IPADDRTABLE, MIB_IPADDRROW>(filled.bytes.get(), filled.size);
    if (!rows)
        return ReadResult<MibIpAddrRow>::failed(
            reasonFor(kWhat, "the table holds fewer rows than it counts"));
    std::vector<MIB_IPADDRROW> ordered(rows->first, rows->first + rows->second);
    // The sorted table puts an interface's lowest address first; its primary
    // address is the one that stands for the interface.
    std::ranges::stable_partition(
        ordered, [](const MIB_IPADDRROW& row) { return (row.wType & MIB_IPADDR_PRIMARY) != 0; });
    std::vector<MibIpAddrRow> table;
    table.reserve(ordered.size());
    for (const MIB_IPADDRROW& row : ordered)
        table.push_back({ row.dwAddr, row.dwIndex, row.dwMask });
    return table;
}

ReadResult<IpAdapterInfo> WindowsIpHelper::getAdaptersInfo()
{
    constexpr const char* kWhat = "reading the network adapters";
    const auto filled = readTable(kWhat, [this](std::byte* buffer, PULONG size) {
        return api_->getAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buffer), size);
    });
    if (filled.failed())
        return ReadResult<IpAdapterInfo>::failed(filled.reason);
    const std::byte* const begin = filled.bytes.get();
    const std::byte* const end = begin + filled.size;
    // The chain lies inside the buffer; a link that leaves it, or more links
    // than the buffer can hold, is a damaged answer, not an endless walk.
    const std::size_t most = filled.size / sizeof(IP_ADAPTER_INFO);
    std::vector<IpAdapterInfo> adapters;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(begin); adapter != nullptr;
         adapter = adapter->Next) {
        const auto* at = reinterpret_cast<const std::byte*>(adapter);
        if (at < begin || end - at < static_cast<std::ptrdiff_t>(sizeof(IP_ADAPTER_INFO))
            || adapters.size() == most)
            return ReadResult<IpAdapterInfo>::failed(reasonFor(kWhat, "the adapter list is damaged"));
        const std::size_t length = strnlen(adapter->Description, sizeof adapter->Description);
        IpAdapterInfo& info = adapters.emplace_back();
        info.Index = static_cast<std::uint32_t>(adapter->Index);
        info.Description = utf8FromAnsi({ adapter->Description, length });
        info.AddressLength = std::min<std::uint32_t>(adapter->AddressLength, info.Address.size());
        std::copy_n(adapter->Address, info.AddressLength, info.Address.begin());
    }
    return adapters;
}

std::optional<std::vector<WindowsIpHelper::Route>> WindowsIpHelper::readRoutes(std::string& reason) const
{
    MibTable<MIB_IPFORWARD_TABLE2> table(*api_);
    const DWORD status = api_->getIpForwardTable2(AF_UNSPEC, table.out());
    // "Not found" is a table without routes.
    if (status != NO_ERROR && status != ERROR_NOT_FOUND) {
        reason = reasonFor("reading the routes", systemMessage(status));
        return std::nullopt;
    }
    std::vector<Route> routes;
    for (const MIB_IPFORWARD_ROW2& row : table.rows()) {
        const std::optional<IpAddress> prefix = ipAddressOf(row.DestinationPrefix.Prefix, row.InterfaceIndex);
        if (!prefix || row.DestinationPrefix.PrefixLength > 8 * prefix->size())
            continue;
        // An on-link route's next hop is the unspecified address of its family.
        const IpAddress unspecified = prefix->isV4() ? IpAddress {} : IpAddress::v6({});
        routes.push_back({ *prefix, row.DestinationPrefix.PrefixLength,
            ipAddressOf(row.NextHop, row.InterfaceIndex).value_or(unspecified), row.InterfaceIndex,
            row.Metric });
    }
    return routes;
}

ReadResult<DefaultRouteRow> WindowsIpHelper::getDefaultRoutes()
{
    std::string reason;
    std::optional<std::vector<Route>> routes = readRoutes(reason);
    if (!routes)
        return ReadResult<DefaultRouteRow>::failed(reason);
    std::erase_if(*routes, [](const Route& route) { return route.prefixLength != 0; });
    std::ranges::stable_sort(*routes, [](const Route& a, const Route& b) {
        return std::pair(a.prefix.family(), a.metric) < std::pair(b.prefix.family(), b.metric);
    });
    std::vector<DefaultRouteRow> rows;
    for (const Route& route : *routes)
        rows.push_back({ route.nextHop, route.interfaceIndex, route.metric });
    return rows;
}

std::optional<RouteAnswer> WindowsIpHelper::lookupRoute(const IpAddress& address)
{
    const SOCKADDR_INET destination = socketAddressOf(address);
    MIB_IPFORWARD_ROW2 route {};
    SOCKADDR_INET source {};
    if (api_->getBestRoute2(&destination, &route, &source) == NO_ERROR) {
        const IpAddress onLink = address.isV4() ? IpAddress {} : IpAddress::v6({});
        return RouteAnswer { route.InterfaceIndex,
            ipAddressOf(route.NextHop, route.InterfaceIndex).value_or(onLink) };
    }
    if (bestRouteAnswers())
        return std::nullopt;
    // Where GetBestRoute2 is missing (Wine), the table's longest matching
    // prefix, the lowest metric among equals, as Windows chooses. A
    // link-local address is reached only on the link of its zone.
    std::string reason;
    const std::vector<Route> routes = readRoutes(reason).value_or(std::vector<Route> {});
    const Route* best = nullptr;
    for (const Route& candidate : routes) {
        if (!samePrefix(address, candidate.prefix, candidate.prefixLength)
            || (address.zone() != 0 && candidate.interfaceIndex != address.zone()))
            continue;
        if (best == nullptr || candidate.prefixLength > best->prefixLength
            || (candidate.prefixLength == best->prefixLength && candidate.metric < best->metric))
            best = &candidate;
    }
    if (best == nullptr)
        return std::nullopt;
    return RouteAnswer { best->interfaceIndex, best->nextHop };
}

bool WindowsIpHelper::bestRouteAnswers() const
{
    // Loopback always has a route: no answer for it is no GetBestRoute2 at all.
    if (!bestRouteAnswers_) {
        SOCKADDR_INET destination {};
        destination.Ipv4.sin_family = AF_INET;
        destination.Ipv4.sin_addr.S_un.S_addr = htonl(INADDR_LOOPBACK);
        MIB_IPFORWARD_ROW2 route {};
        SOCKADDR_INET source {};
        bestRouteAnswers_ = api_->getBestRoute2(&destination, &route, &source) == NO_ERROR;
    }
    return *bestRouteAnswers_;
}

bool WindowsIpHelper::looksUpRoutes() const
{
    if (bestRouteAnswers())
        return true;
    // Else lookups are made from the table, which must hold routes to decide by.
    std::string reason;
    const std::optional<std::vector<Route>> routes = readRoutes(reason);
    return routes && !routes->empty();
}

ActionResult WindowsIpHelper::deleteIpNetEntry(const MibIpNetRow& row)
{
    if (row.address.isV6())
        return deleteIpv6Entry(row);
    // Only the interface and the address name the entry; the rest stays zero.
    MIB_IPNETROW entry {};
    entry.dwIndex = row.dwIndex;
    entry.dwAddr = row.address.v4Value();
    const DWORD status = api_->deleteIpNetEntry(&entry);
    if (status != NO_ERROR)
        return failedWith("deleting an ARP entry", status);
    return ActionResult::done();
}

ActionResult WindowsIpHelper::deleteIpv6Entry(const MibIpNetRow& row)
{
    constexpr const char* kWhat = "deleting an IPv6 neighbour entry";
    // A host that lists no IPv6 neighbours has none to delete; Wine, which
    // lists none, ends the program in its DeleteIpNetEntry2.
    if (!neighbourTable2Answers())
        return failedWith(kWhat, ERROR_NOT_SUPPORTED);
    // As for IPv4, only the interface and the address name the entry.
    MIB_IPNET_ROW2 entry {};
    entry.Address = socketAddressOf(row.address);
    entry.InterfaceIndex = row.dwIndex;
    if (const DWORD status = api_->deleteIpNetEntry2(&entry); status != NO_ERROR)
        return failedWith(kWhat, status);
    return ActionResult::done();
}

ActionResult WindowsIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    const DWORD status = api_->flushIpNetTable(interfaceIndex);
    if (status != NO_ERROR)
        return failedWith(
            ("flushing the ARP table of interface " + std::to_string(interfaceIndex)).c_str(), status);
    return ActionResult::done();
}

ActionResult WindowsIpHelper::startPing(const std::string& dottedAddress)
{
    if (!isDottedQuad(dottedAddress))
        return ActionResult::failed(reasonFor("ping", "not an IPv4 address: " + dottedAddress));
    char commandLine[32];
    std::snprintf(commandLine, sizeof commandLine, "ping -n 1 %s", dottedAddress.c_str());
    // Hidden, sharing no handles, not waited for: the ping ends by itself.
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    // ping.exe by its whole name in the system folder: without one, Windows
    // would run a ping.exe from the working folder first.
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return failedWith("starting ping: finding the system folder", GetLastError());
    const std::string application = std::string(system, length) + "\\ping.exe";
    PROCESS_INFORMATION process {};
    if (!api_->createProcess(application.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
            &startup, &process))
        return failedWith("starting ping", api_->lastError());
    api_->closeHandle(process.hThread);
    api_->closeHandle(process.hProcess);
    return ActionResult::done();
}

ActionResult WindowsIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    std::string error;
    if (sweep_.start(addresses, error) != 0)
        return ActionResult::failed(reasonFor("sweeping the subnet", error));
    return ActionResult::done();
}

}  // namespace tevra::hostnet
