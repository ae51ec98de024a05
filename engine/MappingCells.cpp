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

std::string lastChangedText(const MappingEntry& entry)
{
    // Only a mapping that has changed has a time worth showing.
    if (entry.previous == nullptr || entry.lastChanged == 0)
        return "-";
    return timeOfDayText(entry.lastChanged);
}

std::string adapterText(std::uint32_t index, const NetworkConfig& networkConfig)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X ", index);
    return hex + networkConfig.adapterName(index);
}

}  // namespace

MappingCells mappingCellTexts(const MappingEntry& entry, const NetworkConfig& networkConfig)
{
    // An unresolved entry's zero bytes name no vendor (00-00-00 is an OUI all the same).
    const bool showVendor
        = entry.vendor.has_value() && entry.macLength != 0 && entry.type != hostnet::kNetTypeInvalid;
    return {
        dottedText(entry.address),
        macText(entry.mac.data()),
        entry.inSystemCache ? "yes" : "no",
        lastChangedText(entry),
        showVendor ? *entry.vendor : "-",
        std::to_string(entry.address),
        std::to_string(netToHost(entry.address)),
        typeText(entry.type),
        adapterText(entry.adapterIndex, networkConfig),
    };
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
