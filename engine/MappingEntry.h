// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Address.h"
#include "engine/MacAddress.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>

namespace tevra {

// The most history entries an address keeps; older ones are dropped. Each
// change of a mapping keeps one (about 115 bytes), so without a bound an
// attacker who keeps flipping one address would grow the program for ever.
// A thousand changes are far more than anyone reads back.
inline constexpr std::size_t kMaxHistoryEntries = 1000;
// The most history entries all addresses keep together, the oldest dropped
// first: a flood over thousands of addresses would otherwise keep a thousand
// each. About 12 MB.
inline constexpr std::size_t kMaxTotalHistoryEntries = 100000;

// One mapping of an IP address to a MAC address, owning the entry it replaced.
struct MappingEntry {
    IpAddress address;  // the key in the program cache
    MacBytes mac {};
    std::uint32_t macLength = 0;
    std::uint32_t adapterIndex = 0;
    std::int64_t lastChanged = 0;
    bool inSystemCache = false;
    bool redisplay = true;
    bool seen = false;
    std::optional<std::string> vendor;
    std::uint32_t type = 0;
    bool alertFree = true;
    // The neighbour said it is a router (IPv6 only).
    bool isRouter = false;
    // When it left the system's table, as a count that only grows: the
    // smaller, the longer it has been gone. 0 for one never seen there.
    std::uint64_t goneOrder = 0;
    std::unique_ptr<MappingEntry> previous;  // history, newest first

    MappingEntry() = default;
    MappingEntry(const MappingEntry&) = delete;
    MappingEntry& operator=(const MappingEntry&) = delete;
    // Freed in a loop: a chain of kMaxHistoryEntries released recursively
    // would take that many stack frames.
    ~MappingEntry();

    // Number of entries in the history chain behind this one.
    std::size_t historyLength() const;
    // Drops the oldest history entries beyond the newest `keep`; how many.
    std::size_t trimHistory(std::size_t keep);
};

// The memory of the program cache's nodes, a base so that it is made before
// the map and outlives it.
struct CacheNodes {
    std::pmr::unsynchronized_pool_resource nodes;
};

// Current entry per address, walked in address order (IPv4 in dotted order,
// then IPv6): the order in which the system's table and the mapping list
// come, so a refresh can walk the table and the cache in step. The nodes come
// from a pool of their own: allocated between the entries and the indexes
// that follow each new address, they would lie far apart, and the walk over
// 60,000 of them would miss the processor's caches at every step.
class ProgramCache : private CacheNodes, public std::pmr::map<IpAddress, std::unique_ptr<MappingEntry>> {
public:
    ProgramCache()
        : std::pmr::map<IpAddress, std::unique_ptr<MappingEntry>>(&nodes)
    {
    }
    ProgramCache(const ProgramCache&) = delete;
    ProgramCache& operator=(const ProgramCache&) = delete;

    // Empties the cache and gives the pool's memory back.
    void clearAndRelease()
    {
        clear();
        nodes.release();
    }
};

}  // namespace tevra
