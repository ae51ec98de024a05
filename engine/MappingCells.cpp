// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MappingCells.h"

#include "engine/Address.h"
#include "engine/LocalTime.h"

#include <cstdio>

namespace tevra {
namespace {

std::string typeText(std::uint32_t type)
{
    return type >= 1 && type <= kTypeTexts.size() ? kTypeTexts[type - 1] : kUnknownTypeText;
}

std::string adapterText(const MappingValues& values)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X ", values.adapterIndex);
    return hex + values.adapterName;
}

using CellText = std::string (*)(const MappingValues&);

// One text maker per column, in column order.
constexpr std::array<CellText, kMappingColumnCount> kCellTexts {
    [](const MappingValues& v) { return addressText(v.address); },
    [](const MappingValues& v) { return macText(v.mac.data(), v.macLength); },
    [](const MappingValues& v) { return std::string(v.inSystemCache ? "yes" : "no"); },
    [](const MappingValues& v) {
        return v.lastChanged == 0 ? std::string("-") : timeOfDayText(v.lastChanged);
    },
    [](const MappingValues& v) { return v.vendor.value_or("-"); },
    // The numeric forms mean something only for IPv4.
    [](const MappingValues& v) { return v.address.isV4() ? std::to_string(v.address.v4Value()) : "-"; },
    [](const MappingValues& v) {
        return v.address.isV4() ? std::to_string(netToHost(v.address.v4Value())) : "-";
    },
    [](const MappingValues& v) { return typeText(v.type); },
    adapterText,
};

}  // namespace

bool showsVendor(const MappingEntry& entry)
{
    // An unresolved entry's zero bytes name no vendor (00-00-00 is an OUI all the same).
    return entry.vendor.has_value() && entry.macLength != 0 && entry.type != hostnet::kNetTypeInvalid;
}

std::int64_t shownChangeTime(const MappingEntry& entry)
{
    // Only a mapping that has changed has a time worth showing.
    return entry.previous != nullptr ? entry.lastChanged : 0;
}

MappingValues mappingValuesOf(const MappingEntry& entry, const NetworkConfig& networkConfig)
{
    return {
        .address = entry.address,
        .mac = entry.mac,
        .macLength = entry.macLength,
        .adapterIndex = entry.adapterIndex,
        .type = entry.type,
        .lastChanged = shownChangeTime(entry),
        .inSystemCache = entry.inSystemCache,
        .vendor = showsVendor(entry) ? entry.vendor : std::nullopt,
        .adapterName = networkConfig.adapterName(entry.adapterIndex),
    };
}

std::string mappingCellText(const MappingValues& values, int column)
{
    if (column < 0 || column >= kMappingColumnCount)
        return {};
    return kCellTexts[std::size_t(column)](values);
}

MappingCells mappingCellTexts(const MappingValues& values)
{
    MappingCells cells;
    for (int column = 0; column < kMappingColumnCount; ++column)
        cells[std::size_t(column)] = mappingCellText(values, column);
    return cells;
}

MappingCells mappingCellTexts(const MappingEntry& entry, const NetworkConfig& networkConfig)
{
    return mappingCellTexts(mappingValuesOf(entry, networkConfig));
}

MappingCells mappingHeadings()
{
    MappingCells headings;
    for (std::size_t i = 0; i < headings.size(); ++i)
        headings[i] = kMappingHeadings[i];
    return headings;
}

std::string mappingTableText(
    const MappingCells& headings, const std::vector<MappingCells>& rows, std::string_view lineEnd)
{
    std::string text;
    const auto appendLine = [&](const MappingCells& cells) {
        for (const std::string& cell : cells) {
            text += cell;
            text += '\t';
        }
        text += lineEnd;
    };
    appendLine(headings);
    text += lineEnd;
    for (const MappingCells& row : rows)
        appendLine(row);
    return text;
}

}  // namespace tevra
