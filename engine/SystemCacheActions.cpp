// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's actions on the system's ARP table.
#include "engine/Address.h"
#include "engine/MappingWatcher.h"

#include <algorithm>
#include <utility>

namespace tevra {

std::vector<ActionFailure> CMappingWatcher::takeActionFailures()
{
    return std::exchange(actionFailures_, {});
}

std::int32_t CMappingWatcher::recordFailure(std::string subject, std::string reason, hostnet::Failure kind)
{
    actionFailures_.push_back({ std::move(subject), std::move(reason), kind });
    return -1;
}

std::int32_t CMappingWatcher::recordHostFailure(std::string subject, const hostnet::ActionResult& result)
{
    return recordFailure(
        std::move(subject), result.reason.empty() ? "unknown error" : result.reason, result.kind);
}

std::int32_t CMappingWatcher::flushAdapters(std::vector<std::uint32_t>& kept)
{
    kept.clear();
    // Asked afresh each time, so adapters that appeared after start are flushed too.
    const hostnet::ReadResult<hostnet::IpAdapterInfo> adapters = ipHelper_->getAdaptersInfo();
    if (!adapters.rows)
        return recordHostFailure({}, hostnet::ActionResult::failed(adapters.reason));
    if (adapters.rows->empty())
        return recordFailure({}, "the host has no network adapter", hostnet::Failure::Other);
    std::vector<std::uint32_t> indexes;
    indexes.reserve(adapters.rows->size());
    for (const hostnet::IpAdapterInfo& adapter : *adapters.rows)
        indexes.push_back(adapter.Index);
    if (const hostnet::ActionResult flushed = ipHelper_->flushIpNetTables(indexes, kept); !flushed.ok())
        return recordHostFailure({}, flushed);
    return 0;
}

std::int32_t CMappingWatcher::flushSystemCache()
{
    std::vector<std::uint32_t> kept;
    return flushAdapters(kept);
}

std::int32_t CMappingWatcher::flushBothCaches()
{
    std::vector<std::uint32_t> kept;
    const std::int32_t status = flushAdapters(kept);
    if (status != 0 && kept.empty())
        return status;
    std::ranges::sort(kept);
    generation_ += std::erase_if(
        programCache, [&kept](const auto& item) { return !std::ranges::binary_search(kept, item.first); });
    return status;
}

std::int32_t CMappingWatcher::deleteEntry(
    std::string_view dottedAddress, bool absenceIsFine, bool& stillInTable)
{
    stillInTable = false;
    const MappingEntry* entry = findEntry(dottedAddress);
    if (entry == nullptr)
        return recordFailure(std::string(dottedAddress), "not in the program cache", hostnet::Failure::Other);
    hostnet::MibIpNetRow row;
    row.dwIndex = entry->adapterIndex;
    row.dwAddr = entry->address;
    const hostnet::ActionResult deleted = ipHelper_->deleteIpNetEntry(row);
    if (deleted.ok())
        return 0;
    if (absenceIsFine && deleted.kind == hostnet::Failure::NoSuchEntry)
        return -1;
    stillInTable = deleted.kind != hostnet::Failure::NoSuchEntry;
    return recordHostFailure(std::string(dottedAddress), deleted);
}

std::int32_t CMappingWatcher::deleteFromSystemCache(std::string_view dottedAddress)
{
    bool stillInTable = false;
    return deleteEntry(dottedAddress, false, stillInTable);
}

std::int32_t CMappingWatcher::deleteFromBothCaches(std::string_view dottedAddress)
{
    bool stillInTable = false;
    const std::int32_t status = deleteEntry(dottedAddress, true, stillInTable);
    // An entry already gone from the table is as good as deleted.
    if (stillInTable)
        return -1;
    const std::int32_t removed = removeFromProgramCache(dottedAddress);
    return status == 0 || removed == 0 ? 0 : -1;
}

std::int32_t CMappingWatcher::discoverByPing()
{
    std::int32_t result = 0;
    for (const std::uint32_t target : networkConfig.pingTargets())
        if (const hostnet::ActionResult started = ipHelper_->startPing(dottedText(target)); !started.ok())
            result = recordHostFailure(dottedText(target), started);
    const std::vector<std::uint32_t> sweep = networkConfig.sweepTargets();
    if (sweep.empty())
        return result;
    sweptAddresses_.insert(sweep.begin(), sweep.end());
    if (const hostnet::ActionResult started = ipHelper_->startSweep(sweep); !started.ok())
        result = recordHostFailure({}, started);
    return result;
}

}  // namespace tevra
