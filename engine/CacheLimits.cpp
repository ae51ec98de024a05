// SPDX-License-Identifier: GPL-3.0-or-later
// The bounds on what the program cache keeps: a host on the LAN can make up
// addresses and changes as fast as it can send frames.
#include "engine/MappingWatcher.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tevra {
namespace {

// Drops from an address's history every entry older than `cutoff` and, of
// those as old as it, as many as `equalToDrop` still allows. History runs
// newest first, so what goes is the tail of the chain.
void cutHistory(MappingEntry& entry, std::int64_t cutoff, std::size_t& equalToDrop)
{
    MappingEntry* keptLast = &entry;
    while (keptLast->previous != nullptr && keptLast->previous->lastChanged > cutoff)
        keptLast = keptLast->previous.get();
    std::size_t equal = 0;
    for (const MappingEntry* at = keptLast->previous.get(); at != nullptr && at->lastChanged == cutoff;
         at = at->previous.get())
        ++equal;
    const std::size_t dropped = std::min(equal, equalToDrop);
    equalToDrop -= dropped;
    for (std::size_t kept = 0; kept < equal - dropped; ++kept)
        keptLast = keptLast->previous.get();
    // Freed by the destructor's loop, however long the dropped part is.
    const std::unique_ptr<MappingEntry> tail = std::move(keptLast->previous);
}

}  // namespace

std::size_t CMappingWatcher::takeEvictedCount()
{
    return std::exchange(evicted_, 0);
}

void CMappingWatcher::enforceLimits()
{
    enforceAddressCap();
    enforceHistoryCap();
}

void CMappingWatcher::enforceAddressCap()
{
    if (maxAddresses == 0 || programCache.size() <= maxAddresses)
        return;
    // Down to a little below the bound, so that a flood of new addresses
    // makes a pass over the whole cache only every so many of them.
    const std::size_t target = maxAddresses - maxAddresses / 16;
    struct Candidate {
        bool resolved;
        std::uint64_t goneOrder;
        IpAddress address;
    };
    std::vector<Candidate> candidates;
    for (const auto& [address, entry] : programCache)
        if (entry->macLength == 0 || !entry->inSystemCache)
            candidates.push_back({ entry->macLength != 0, entry->goneOrder, address });
    const std::size_t count = std::min(programCache.size() - target, candidates.size());
    const auto first = [](const Candidate& a, const Candidate& b) {
        return std::pair(a.resolved, a.goneOrder) < std::pair(b.resolved, b.goneOrder);
    };
    std::ranges::nth_element(candidates, candidates.begin() + std::ptrdiff_t(count), first);
    for (std::size_t i = 0; i < count; ++i)
        programCache.erase(candidates[i].address);
    evicted_ += count;
    generation_ += count;
}

void CMappingWatcher::enforceHistoryCap()
{
    // Counted afresh only once the upper bound is well past the cap, so that
    // the pass over every history is made once per many changes.
    if (historyCount_ <= maxTotalHistory + maxTotalHistory / 8)
        return;
    std::vector<std::int64_t> times;
    times.reserve(historyCount_);
    for (const auto& [address, entry] : programCache)
        for (const MappingEntry* at = entry->previous.get(); at != nullptr; at = at->previous.get())
            times.push_back(at->lastChanged);
    historyCount_ = std::min(times.size(), maxTotalHistory);
    if (times.size() <= maxTotalHistory)
        return;
    const std::size_t drop = times.size() - maxTotalHistory;
    const auto cut = times.begin() + std::ptrdiff_t(drop - 1);
    std::ranges::nth_element(times, cut);
    const std::int64_t cutoff = *cut;
    const auto older
        = static_cast<std::size_t>(std::ranges::count_if(times, [&](std::int64_t t) { return t < cutoff; }));
    std::size_t equalToDrop = drop - older;
    for (const auto& [address, entry] : programCache)
        cutHistory(*entry, cutoff, equalToDrop);
}

}  // namespace tevra
