// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/NetworkConfig.h"

#include "engine/Address.h"

#include <algorithm>
#include <bit>

namespace tevra {
namespace {

// The widest subnet swept whole; a /22 holds 1,022 host addresses.
constexpr int kWidestSweptPrefix = 22;

// Appends the host addresses of one subnet that a sweep asks for.
void appendSweepTargets(const hostnet::MibIpAddrRow& row, std::vector<std::uint32_t>& targets)
{
    const std::uint32_t own = netToHost(row.dwAddr);
    const std::uint32_t mask = netToHost(row.dwMask);
    const int prefix = std::popcount(mask);
    // /31 links have two hosts and no network or broadcast address; /32 has no other host.
    const std::uint64_t hostFirst = prefix >= 31 ? (own & mask) : (own & mask) + 1;
    const std::uint64_t hostLast = prefix >= 31 ? (own | ~mask) : (own | ~mask) - 1;
    std::uint64_t first = hostFirst;
    std::uint64_t last = hostLast;
    if (prefix < kWidestSweptPrefix) {
        first = std::max<std::uint64_t>(hostFirst, own & 0xFFFFFF00u);
        last = std::min<std::uint64_t>(hostLast, own | 0xFFu);
    }
    for (std::uint64_t address = first; address <= last && prefix < 32; ++address)
        if (address != own)
            targets.push_back(hostToNet(static_cast<std::uint32_t>(address)));
}

}  // namespace

NetworkConfig::NetworkConfig(hostnet::IpHelper& ipHelper)
{
    clear();
    loadAdapters(ipHelper);
    loadAddresses(ipHelper);
    loadGateways(ipHelper);
}

void NetworkConfig::clear()
{
    adapters.clear();
    gateways.clear();
}

std::int32_t NetworkConfig::reload(hostnet::IpHelper& ipHelper)
{
    NetworkConfig fresh;
    if (fresh.loadAdapters(ipHelper) != 0)
        return -1;
    fresh.loadAddresses(ipHelper);
    fresh.loadGateways(ipHelper);
    *this = std::move(fresh);
    return 0;
}

std::int32_t NetworkConfig::loadGateways(hostnet::IpHelper& ipHelper)
{
    hostnet::ReadResult<hostnet::DefaultRouteRow> routes = ipHelper.getDefaultRoutes();
    if (!routes.rows)
        return -1;
    gateways = std::move(*routes.rows);
    return 0;
}

bool NetworkConfig::inAdapterSubnet(std::uint32_t address, std::uint32_t interfaceIndex) const
{
    const auto adapter = adapters.find(interfaceIndex);
    return adapter != adapters.end()
        && std::ranges::any_of(adapter->second.addresses, [address](const hostnet::MibIpAddrRow& row) {
               return (address & row.dwMask) == (row.dwAddr & row.dwMask);
           });
}

const hostnet::IpAdapterInfo* NetworkConfig::adapterInfo(std::uint32_t interfaceIndex) const
{
    const auto adapter = adapters.find(interfaceIndex);
    return adapter == adapters.end() ? nullptr : &adapter->second.info;
}

std::int32_t NetworkConfig::loadAdapters(hostnet::IpHelper& ipHelper)
{
    const hostnet::ReadResult<hostnet::IpAdapterInfo> list = ipHelper.getAdaptersInfo();
    if (!list.rows)
        return -1;
    for (const hostnet::IpAdapterInfo& info : *list.rows)
        adapters.try_emplace(info.Index, AdapterRecord { info, {} });
    return 0;
}

std::int32_t NetworkConfig::loadAddresses(hostnet::IpHelper& ipHelper)
{
    const hostnet::ReadResult<hostnet::MibIpAddrRow> table = ipHelper.getIpAddrTable();
    if (!table.rows)
        return -1;
    for (const hostnet::MibIpAddrRow& row : *table.rows) {
        const auto adapter = adapters.find(row.dwIndex);
        if (adapter != adapters.end())
            adapter->second.addresses.push_back(row);
    }
    return 0;
}

const std::string& NetworkConfig::adapterName(std::uint32_t interfaceIndex) const
{
    static const std::string unknown = "unknown";
    const auto adapter = adapters.find(interfaceIndex);
    return adapter == adapters.end() ? unknown : adapter->second.info.Description;
}

std::vector<std::uint32_t> NetworkConfig::pingTargets() const
{
    std::vector<std::uint32_t> targets;
    for (const auto& [index, adapter] : adapters)
        for (const hostnet::MibIpAddrRow& row : adapter.addresses)
            targets.push_back(directedBroadcast(row));
    return targets;
}

std::vector<std::uint32_t> NetworkConfig::sweepTargets() const
{
    std::vector<std::uint32_t> targets;
    for (const auto& [index, adapter] : adapters)
        for (const hostnet::MibIpAddrRow& row : adapter.addresses)
            appendSweepTargets(row, targets);
    return targets;
}

bool NetworkConfig::isDirectedBroadcast(std::uint32_t address) const
{
    return std::ranges::any_of(adapters, [address](const auto& adapter) {
        return std::ranges::any_of(adapter.second.addresses,
            [address](const hostnet::MibIpAddrRow& row) { return directedBroadcast(row) == address; });
    });
}

}  // namespace tevra
