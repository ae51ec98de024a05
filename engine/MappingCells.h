#pragma once

#include "engine/MappingEntry.h"
#include "engine/NetworkConfig.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

inline constexpr int kMappingColumnCount = 9;

struct MappingColumn {
    const char* header;
    int width;  // pixels
};

inline constexpr std::array<MappingColumn, kMappingColumnCount> kMappingColumns { {
    { "IP", 110 },
    { "MAC", 118 },
    { "in system chache", 100 },
    { "last changed", 100 },
    { "vendor", 137 },
    { "network order IP", 100 },
    { "host order IP", 100 },
    { "type", 70 },
    { "adapter", 200 },
} };

using MappingCells = std::array<std::string, kMappingColumnCount>;

// The nine texts a mapping list row shows for an entry. The window's list and
// the console watcher both use this, so they never differ.
MappingCells mappingCellTexts(const MappingEntry& entry, const NetworkConfig& networkConfig);

// A table as saved text: the headings and each row's cells, every text
// followed by a TAB, an empty line after the headings, `lineEnd` after each line.
std::string mappingTableText(
    const MappingCells& headings, const std::vector<MappingCells>& rows, std::string_view lineEnd);
MappingCells mappingHeadings();

}  // namespace tevra
