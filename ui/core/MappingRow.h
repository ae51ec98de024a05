// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "hostnet/IpAddress.h"
#include "ui/core/SharedTexts.h"

#include <cstdint>

namespace tevra {

// What one row of the mapping list shows, as the values its texts are made
// from when a list draws them (a copy, so a row reads as it was written): a
// first fill of tens of thousands of rows makes no text and touches little
// memory. The vendor and adapter names are numbers in the list's SharedTexts;
// the address is the row's sort key.
struct MappingRow {
    hostnet::IpAddress address;
    MacBytes mac {};
    std::int64_t lastChanged = 0;  // 0: no change worth showing
    std::uint32_t adapterIndex = 0;
    std::uint32_t type = 0;
    std::uint32_t vendor = SharedTexts::kNone;
    std::uint32_t adapterName = SharedTexts::kNone;
    std::uint32_t macLength = 0;
    bool inSystemCache = false;
    bool alertFree = true;  // check mark when set, red cross when clear

    bool operator==(const MappingRow&) const = default;
};

}  // namespace tevra
