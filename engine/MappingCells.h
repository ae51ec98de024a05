// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MappingEntry.h"
#include "engine/NetworkConfig.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

inline constexpr int kMappingColumnCount = 9;

// The columns of the mapping list, in their order.
enum MappingColumn : int {
    kAddressColumn,
    kMacColumn,
    kInSystemCacheColumn,
    kLastChangedColumn,
    kVendorColumn,
    kNetworkOrderColumn,
    kHostOrderColumn,
    kTypeColumn,
    kAdapterColumn,
};

// The headings of the mapping list's columns, as the window and the saved
// files show them.
inline constexpr std::array<const char*, kMappingColumnCount> kMappingHeadings { "IP", "MAC",
    "in system chache", "last changed", "vendor", "network order IP", "host order IP", "type", "adapter" };

// What the type column shows for types 1 to 4, and for any other type.
inline constexpr std::array<const char*, 4> kTypeTexts { "other", "invalid", "dynamic", "static" };
inline constexpr char kUnknownTypeText[] = "unknown";

using MappingCells = std::array<std::string, kMappingColumnCount>;

// What a mapping list row shows for an entry, as values rather than texts, so
// that a list makes the texts of only the cells it draws. What no cell shows
// (a vendor not named, the time of a mapping that never changed) is left out.
struct MappingValues {
    IpAddress address;
    MacBytes mac {};
    std::uint32_t macLength = 0;
    std::uint32_t adapterIndex = 0;
    std::uint32_t type = 0;
    std::int64_t lastChanged = 0;  // 0: no change worth showing
    bool inSystemCache = false;
    std::optional<std::string> vendor;  // only when the row names one
    std::string adapterName;

    bool operator==(const MappingValues&) const = default;
};

MappingValues mappingValuesOf(const MappingEntry& entry, const NetworkConfig& networkConfig);
// Whether an entry's row names its vendor, and the change time it shows (0: none).
bool showsVendor(const MappingEntry& entry);
std::int64_t shownChangeTime(const MappingEntry& entry);
// The text of one cell; `column` is one of the nine MappingColumn values.
std::string mappingCellText(const MappingValues& values, int column);
MappingCells mappingCellTexts(const MappingValues& values);

// The nine texts a mapping list row shows for an entry. The window's list and
// the console watcher both use this, so they never differ.
MappingCells mappingCellTexts(const MappingEntry& entry, const NetworkConfig& networkConfig);

// A table as saved text: the headings and each row's cells, every text
// followed by a TAB, an empty line after the headings, `lineEnd` after each line.
std::string mappingTableText(
    const MappingCells& headings, const std::vector<MappingCells>& rows, std::string_view lineEnd);
MappingCells mappingHeadings();

}  // namespace tevra
