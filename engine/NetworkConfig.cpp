#include "engine/NetworkConfig.h"

#include <algorithm>

namespace tevra {

NetworkConfig::NetworkConfig(hostnet::IpHelper& ipHelper)
{
    clear();
    loadAdapters(ipHelper);
    loadAddresses(ipHelper);
}

void NetworkConfig::clear()
{
    adapters.clear();
}

std::int32_t NetworkConfig::loadAdapters(hostnet::IpHelper& ipHelper)
{
    const auto list = ipHelper.getAdaptersInfo();
    if (!list)
        return -1;
    for (const hostnet::IpAdapterInfo& info : *list)
        adapters.try_emplace(info.Index, AdapterRecord { info, {} });
    return 0;
}

std::int32_t NetworkConfig::loadAddresses(hostnet::IpHelper& ipHelper)
{
    const auto table = ipHelper.getIpAddrTable();
    if (!table)
        return -1;
    for (const hostnet::MibIpAddrRow& row : *table) {
        const auto adapter = adapters.find(row.dwIndex);
        if (adapter != adapters.end())
            adapter->second.addresses.try_emplace(row.dwIndex, row);
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
        for (const auto& [rowIndex, row] : adapter.addresses)
            targets.push_back(directedBroadcast(row));
    return targets;
}

bool NetworkConfig::isDirectedBroadcast(std::uint32_t address) const
{
    return std::ranges::any_of(adapters, [address](const auto& adapter) {
        return std::ranges::any_of(adapter.second.addresses,
            [address](const auto& row) { return directedBroadcast(row.second) == address; });
    });
}

}  // namespace tevra
