#pragma once

#include "engine/MacAddress.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tevra {

// One mapping of an IPv4 address to a MAC address, owning the entry it replaced.
struct MappingEntry {
    std::uint32_t address = 0;  // network byte order; the key in the program cache
    MacBytes mac{};
    std::uint32_t macLength = 0;
    std::uint32_t adapterIndex = 0;
    std::int64_t lastChanged = 0;
    bool inSystemCache = false;
    bool redisplay = true;
    bool seen = false;
    std::optional<std::string> vendor;
    std::uint32_t type = 0;
    bool alertFree = true;
    std::unique_ptr<MappingEntry> previous;  // history, newest first

    MappingEntry() = default;
    MappingEntry(const MappingEntry&) = delete;
    MappingEntry& operator=(const MappingEntry&) = delete;
    // The chain has no length limit, so it is freed in a loop: a recursive
    // release would overflow the stack after enough mapping changes.
    ~MappingEntry();

    // Number of entries in the history chain behind this one.
    std::size_t historyLength() const;
};

// Current entry per address, in ascending order of the network-order value.
using ProgramCache = std::map<std::uint32_t, std::unique_ptr<MappingEntry>>;

}  // namespace tevra
