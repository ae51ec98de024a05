// The engine's actions on the system's ARP table.
#include "engine/Address.h"
#include "engine/MappingWatcher.h"

namespace tevra {

std::int32_t CMappingWatcher::flushSystemCache()
{
    // Asked afresh each time, so adapters that appeared after start are flushed too.
    const auto adapters = ipHelper_->getAdaptersInfo();
    if (!adapters || adapters->empty())
        return -1;
    for (const hostnet::IpAdapterInfo& adapter : *adapters)
        ipHelper_->flushIpNetTable(adapter.Index);
    return 0;
}

std::int32_t CMappingWatcher::deleteFromSystemCache(std::string_view dottedAddress)
{
    const MappingEntry* entry = findEntry(dottedAddress);
    if (entry == nullptr)
        return -1;
    hostnet::MibIpNetRow row;
    row.dwIndex = entry->adapterIndex;
    row.dwAddr = entry->address;
    return ipHelper_->deleteIpNetEntry(row) == 0 ? 0 : -1;
}

std::int32_t CMappingWatcher::discoverByPing()
{
    for (const std::uint32_t target : networkConfig.pingTargets())
        ipHelper_->startPing(dottedText(target));
    return 0;
}

}  // namespace tevra
