// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the system's IP Helper answers for the neighbour and route
// calls of both families, through the same seam the host layer uses, one
// fact a line, so that a test can hold Wine's answers to what the host layer
// relies on (tests/wine). Usage:
//   ip_tables_probe arp
//   ip_tables_probe neighbours unspec|inet|inet6
//   ip_tables_probe routes unspec|inet|inet6
//   ip_tables_probe best ADDRESS
//   ip_tables_probe delete ADDRESS INTERFACE
//   ip_tables_probe flush unspec|inet|inet6 INTERFACE
#include "engine/Address.h"
#include "engine/MacAddress.h"
#include "hostnet/windows/IpHelperApi.h"
#include "hostnet/windows/SocketAddress.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using tevra::hostnet::IpHelperApi;
using tevra::hostnet::makeSystemIpHelperApi;

const std::map<std::string, ADDRESS_FAMILY> kFamilies {
    { "unspec", AF_UNSPEC },
    { "inet", AF_INET },
    { "inet6", AF_INET6 },
};

const char* const kStates[]
    = { "unreachable", "incomplete", "probe", "delay", "stale", "reachable", "permanent" };

std::string stateName(NL_NEIGHBOR_STATE state)
{
    const auto index = static_cast<std::size_t>(state);
    return index < std::size(kStates) ? kStates[index] : "state-" + std::to_string(index);
}

// The address of a SOCKADDR_INET, with its scope id when it is IPv6.
std::string addressOf(const SOCKADDR_INET& address)
{
    const std::optional<tevra::IpAddress> held = tevra::hostnet::ipAddressOf(address, 0);
    if (!held)
        return "family-" + std::to_string(address.si_family);
    if (held->isV4())
        return tevra::addressText(*held);
    return tevra::addressText(*held) + " scope " + std::to_string(address.Ipv6.sin6_scope_id);
}

std::optional<SOCKADDR_INET> socketAddress(const char* text)
{
    const std::optional<tevra::IpAddress> address = tevra::parseAddress(text);
    if (!address)
        return std::nullopt;
    return tevra::hostnet::socketAddressOf(*address);
}

int neighbours(IpHelperApi& api, ADDRESS_FAMILY family)
{
    PMIB_IPNET_TABLE2 table = nullptr;
    const DWORD status = api.getIpNetTable2(family, &table);
    std::printf("status %lu\n", status);
    if (status != NO_ERROR || table == nullptr)
        return 0;
    for (const MIB_IPNET_ROW2& row : std::span(table->Table, table->NumEntries)) {
        const ULONG length = row.PhysicalAddressLength;
        const std::string mac = length == 6 ? tevra::macText(row.PhysicalAddress) : "-";
        std::printf("%s if %lu mac %s/%lu state %s router %d unreachable %d\n",
            addressOf(row.Address).c_str(), row.InterfaceIndex, mac.c_str(), length,
            stateName(row.State).c_str(), row.IsRouter ? 1 : 0, row.IsUnreachable ? 1 : 0);
    }
    api.freeMibTable(table);
    return 0;
}

// The IPv4 table as GetIpNetTable gives it, for its types beside the states.
int arp(IpHelperApi& api)
{
    ULONG size = 0;
    DWORD status = api.getIpNetTable(nullptr, &size, TRUE);
    std::vector<std::byte> buffer;
    for (int attempt = 0; status == ERROR_INSUFFICIENT_BUFFER && attempt < 3; ++attempt) {
        buffer.resize(size);
        status = api.getIpNetTable(reinterpret_cast<PMIB_IPNETTABLE>(buffer.data()), &size, TRUE);
    }
    std::printf("status %lu\n", status);
    if (status != NO_ERROR)
        return 0;
    const auto* table = reinterpret_cast<const MIB_IPNETTABLE*>(buffer.data());
    for (const MIB_IPNETROW& row : std::span(table->table, table->dwNumEntries)) {
        const std::string mac = row.dwPhysAddrLen == 6 ? tevra::macText(row.bPhysAddr) : "-";
        std::printf("%s if %lu mac %s/%lu type %lu\n", tevra::dottedText(row.dwAddr).c_str(), row.dwIndex,
            mac.c_str(), row.dwPhysAddrLen, row.dwType);
    }
    return 0;
}

std::string prefixOf(const IP_ADDRESS_PREFIX& prefix)
{
    return addressOf(prefix.Prefix) + " /" + std::to_string(prefix.PrefixLength);
}

void printRoute(const MIB_IPFORWARD_ROW2& row)
{
    std::printf("%s via %s if %lu protocol %d metric %lu valid %lu preferred %lu origin %d\n",
        prefixOf(row.DestinationPrefix).c_str(), addressOf(row.NextHop).c_str(), row.InterfaceIndex,
        static_cast<int>(row.Protocol), row.Metric, row.ValidLifetime, row.PreferredLifetime,
        static_cast<int>(row.Origin));
}

int routes(IpHelperApi& api, ADDRESS_FAMILY family)
{
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    const DWORD status = api.getIpForwardTable2(family, &table);
    std::printf("status %lu\n", status);
    if (status != NO_ERROR || table == nullptr)
        return 0;
    for (const MIB_IPFORWARD_ROW2& row : std::span(table->Table, table->NumEntries))
        printRoute(row);
    api.freeMibTable(table);
    return 0;
}

int best(IpHelperApi& api, const SOCKADDR_INET& destination)
{
    MIB_IPFORWARD_ROW2 route {};
    SOCKADDR_INET source {};
    const DWORD status = api.getBestRoute2(&destination, &route, &source);
    std::printf("status %lu\n", status);
    if (status == NO_ERROR) {
        printRoute(route);
        std::printf("source %s\n", addressOf(source).c_str());
    }
    return 0;
}

int usage()
{
    std::fputs(
        "usage: ip_tables_probe arp | neighbours|routes FAMILY | best ADDRESS | delete ADDRESS INTERFACE"
        " | flush FAMILY INTERFACE\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "arp")
        return arp(*makeSystemIpHelperApi());
    if (argc < 3)
        return usage();
    const std::string verb = argv[1];
    const auto family = kFamilies.find(argv[2]);
    const std::optional<SOCKADDR_INET> address = socketAddress(argv[2]);
    const std::unique_ptr<IpHelperApi> api = makeSystemIpHelperApi();
    if (verb == "neighbours" && family != kFamilies.end())
        return neighbours(*api, family->second);
    if (verb == "routes" && family != kFamilies.end())
        return routes(*api, family->second);
    if (verb == "best" && address)
        return best(*api, *address);
    if (argc < 4)
        return usage();
    const auto interfaceIndex = static_cast<NET_IFINDEX>(std::strtoul(argv[3], nullptr, 10));
    if (verb == "delete" && address) {
        MIB_IPNET_ROW2 row {};
        row.Address = *address;
        row.InterfaceIndex = interfaceIndex;
        std::printf("status %lu\n", api->deleteIpNetEntry2(&row));
        return 0;
    }
    if (verb == "flush" && family != kFamilies.end()) {
        std::printf("status %lu\n", api->flushIpNetTable2(family->second, interfaceIndex));
        return 0;
    }
    return usage();
}
