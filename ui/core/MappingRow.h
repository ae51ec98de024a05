#pragma once

#include "engine/MappingCells.h"

#include <cstdint>
#include <string>

namespace tevra {

// What one row of the mapping list shows: the values its nine texts are made
// from (only for the cells a list draws), its image and, as its item data and
// sort key, the address in host byte order.
struct MappingRow {
    MappingValues values;
    bool alertFree = true;  // check mark when set, red cross when clear
    std::uint32_t hostAddress = 0;

    std::string text(int column) const { return mappingCellText(values, column); }
    MappingCells cells() const { return mappingCellTexts(values); }

    bool operator==(const MappingRow&) const = default;
};

}  // namespace tevra
