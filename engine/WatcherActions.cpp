// SPDX-License-Identifier: GPL-3.0-or-later
// The watcher's actions: the system's part is SystemCacheActions', the
// program cache's is done here.
#include "engine/MappingWatcher.h"

#include "engine/Address.h"

#include <algorithm>
#include <string>

namespace tevra {

std::vector<ActionFailure> CMappingWatcher::takeActionFailures()
{
    return systemCache_.takeFailures();
}

std::int32_t CMappingWatcher::flushSystemCache()
{
    std::vector<IpAddress> kept;
    return systemCache_.flushAdapters(kept);
}

std::int32_t CMappingWatcher::flushBothCaches()
{
    std::vector<IpAddress> kept;
    const std::int32_t status = systemCache_.flushAdapters(kept);
    if (status != 0 && kept.empty())
        return status;
    std::ranges::sort(kept);
    generation_ += std::erase_if(
        programCache, [&kept](const auto& item) { return !std::ranges::binary_search(kept, item.first); });
    return status;
}

std::int32_t CMappingWatcher::deleteEntry(const IpAddress& address, bool absenceIsFine, bool& stillInTable)
{
    stillInTable = false;
    const MappingEntry* entry = findEntry(address);
    if (entry == nullptr)
        return systemCache_.fail(addressText(address), "not in the program cache", hostnet::Failure::Other);
    hostnet::MibIpNetRow row;
    row.dwIndex = entry->adapterIndex;
    row.address = entry->address;
    return systemCache_.deleteEntry(addressText(address), row, absenceIsFine, stillInTable);
}

std::int32_t CMappingWatcher::deleteFromSystemCache(std::string_view addressText)
{
    const std::optional<IpAddress> address = keyOf(addressText);
    if (!address)
        return systemCache_.fail(
            std::string(addressText), "not in the program cache", hostnet::Failure::Other);
    return deleteFromSystemCache(*address);
}

std::int32_t CMappingWatcher::deleteFromSystemCache(const IpAddress& address)
{
    bool stillInTable = false;
    return deleteEntry(address, false, stillInTable);
}

std::int32_t CMappingWatcher::deleteFromBothCaches(std::string_view addressText)
{
    const std::optional<IpAddress> address = keyOf(addressText);
    if (!address)
        return systemCache_.fail(
            std::string(addressText), "not in the program cache", hostnet::Failure::Other);
    return deleteFromBothCaches(*address);
}

std::int32_t CMappingWatcher::deleteFromBothCaches(const IpAddress& address)
{
    bool stillInTable = false;
    const std::int32_t status = deleteEntry(address, true, stillInTable);
    // An entry already gone from the table is as good as deleted.
    if (stillInTable)
        return -1;
    const std::int32_t removed = removeFromProgramCache(address);
    return status == 0 || removed == 0 ? 0 : -1;
}

std::int32_t CMappingWatcher::discoverByPing()
{
    const std::vector<std::uint32_t> sweep = networkConfig.sweepTargets();
    // Known before the sweep starts, so no answer comes before its address is.
    sweptAddresses_.insert(sweep.begin(), sweep.end());
    return systemCache_.discover(networkConfig.pingTargets(), sweep);
}

}  // namespace tevra
