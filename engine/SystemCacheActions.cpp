// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SystemCacheActions.h"

#include "engine/Address.h"

#include <string>

#include <utility>

namespace tevra {

std::int32_t SystemCacheActions::fail(std::string subject, std::string reason, hostnet::Failure kind)
{
    failures_.push_back({ std::move(subject), std::move(reason), kind });
    return -1;
}

std::int32_t SystemCacheActions::failedOnHost(std::string subject, const hostnet::ActionResult& result)
{
    return fail(std::move(subject), result.reason.empty() ? "unknown error" : result.reason, result.kind);
}

std::vector<ActionFailure> SystemCacheActions::takeFailures()
{
    return std::exchange(failures_, {});
}

std::int32_t SystemCacheActions::flushAdapters(std::vector<hostnet::IpAddress>& kept)
{
    kept.clear();
    const hostnet::ReadResult<hostnet::IpAdapterInfo> adapters = host_.getAdaptersInfo();
    if (!adapters.rows)
        return failedOnHost({}, hostnet::ActionResult::failed(adapters.reason));
    if (adapters.rows->empty())
        return fail({}, "the host has no network adapter", hostnet::Failure::Other);
    std::vector<std::uint32_t> indexes;
    indexes.reserve(adapters.rows->size());
    for (const hostnet::IpAdapterInfo& adapter : *adapters.rows)
        indexes.push_back(adapter.Index);
    if (const hostnet::ActionResult flushed = host_.flushIpNetTables(indexes, kept); !flushed.ok())
        return failedOnHost({}, flushed);
    return 0;
}

std::int32_t SystemCacheActions::deleteEntry(
    const std::string& subject, const hostnet::MibIpNetRow& row, bool absenceIsFine, bool& stillInTable)
{
    stillInTable = false;
    const hostnet::ActionResult deleted = host_.deleteIpNetEntry(row);
    if (deleted.ok())
        return 0;
    if (absenceIsFine && deleted.kind == hostnet::Failure::NoSuchEntry)
        return -1;
    stillInTable = deleted.kind != hostnet::Failure::NoSuchEntry;
    return failedOnHost(subject, deleted);
}

std::int32_t SystemCacheActions::discover(
    const std::vector<std::uint32_t>& pingTargets, const std::vector<std::uint32_t>& sweep)
{
    std::int32_t result = 0;
    for (const std::uint32_t target : pingTargets)
        if (const hostnet::ActionResult started = host_.startPing(dottedText(target)); !started.ok())
            result = failedOnHost(dottedText(target), started);
    if (sweep.empty())
        return result;
    if (const hostnet::ActionResult started = host_.startSweep(sweep); !started.ok())
        result = failedOnHost({}, started);
    return result;
}

}  // namespace tevra
