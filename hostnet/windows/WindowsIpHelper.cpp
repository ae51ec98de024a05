// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/windows/WindowsIpHelper.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/windows/WindowsText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>

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
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    if (const DWORD status = api_->getIpForwardTable2(AF_INET, &table); status != NO_ERROR) {
        reason = reasonFor("reading the routes", systemMessage(status));
        return std::nullopt;
    }
    std::vector<Route> routes;
    for (ULONG i = 0; table != nullptr && i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if (row.DestinationPrefix.Prefix.si_family != AF_INET || row.DestinationPrefix.PrefixLength > 32)
            continue;
        routes.push_back(
            { row.DestinationPrefix.Prefix.Ipv4.sin_addr.S_un.S_addr, row.DestinationPrefix.PrefixLength,
                row.NextHop.Ipv4.sin_addr.S_un.S_addr, row.InterfaceIndex, row.Metric });
    }
    api_->freeMibTable(table);
    return routes;
}

ReadResult<DefaultRouteRow> WindowsIpHelper::getDefaultRoutes()
{
    std::string reason;
    const std::optional<std::vector<Route>> routes = readRoutes(reason);
    if (!routes)
        return ReadResult<DefaultRouteRow>::failed(reason);
    std::vector<DefaultRouteRow> rows;
    for (const Route& route : *routes)
        if (route.prefixLength == 0)
            rows.push_back({ IpAddress::v4(route.nextHop), route.interfaceIndex, route.metric });
    std::ranges::stable_sort(rows, {}, &DefaultRouteRow::metric);
    return rows;
}

std::optional<RouteAnswer> WindowsIpHelper::lookupRoute(const IpAddress& ipAddress)
{
    if (!ipAddress.isV4())
        return std::nullopt;
    const std::uint32_t address = ipAddress.v4Value();
    SOCKADDR_INET destination {};
    destination.Ipv4.sin_family = AF_INET;
    destination.Ipv4.sin_addr.S_un.S_addr = address;
    MIB_IPFORWARD_ROW2 route {};
    SOCKADDR_INET source {};
    if (api_->getBestRoute2(&destination, &route, &source) == NO_ERROR)
        return RouteAnswer { route.InterfaceIndex, IpAddress::v4(route.NextHop.Ipv4.sin_addr.S_un.S_addr) };
    if (bestRouteAnswers())
        return std::nullopt;
    // Where GetBestRoute2 is missing (Wine), the table's longest matching
    // prefix, the lowest metric among equals, as Windows chooses.
    std::string reason;
    const std::vector<Route> routes = readRoutes(reason).value_or(std::vector<Route> {});
    const Route* best = nullptr;
    for (const Route& candidate : routes) {
        const std::uint32_t mask
            = candidate.prefixLength == 0 ? 0 : htonl(~0u << (32 - candidate.prefixLength));
        if ((address & mask) != (candidate.prefix & mask))
            continue;
        if (best == nullptr || candidate.prefixLength > best->prefixLength
            || (candidate.prefixLength == best->prefixLength && candidate.metric < best->metric))
            best = &candidate;
    }
    if (best == nullptr)
        return std::nullopt;
    return RouteAnswer { best->interfaceIndex, IpAddress::v4(best->nextHop) };
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
    // Only the interface and the address name the entry; the rest stays zero.
    MIB_IPNETROW entry {};
    entry.dwIndex = row.dwIndex;
    entry.dwAddr = row.address.v4Value();
    const DWORD status = api_->deleteIpNetEntry(&entry);
    if (status != NO_ERROR)
        return failedWith("deleting an ARP entry", status);
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
