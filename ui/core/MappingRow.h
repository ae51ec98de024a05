#pragma once

#include "engine/MappingCells.h"

#include <cstdint>

namespace tevra {

// What one row of the mapping list shows: its nine texts, its image and, as
// its item data and sort key, the address in host byte order.
struct MappingRow {
    MappingCells cells;
    bool alertFree = true;  // check mark when set, red cross when clear
    std::uint32_t hostAddress = 0;

    bool operator==(const MappingRow&) const = default;
};

}  // namespace tevra
