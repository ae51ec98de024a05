// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/ExportText.h"

#include "engine/MappingCells.h"

namespace tevra {

std::string mappingFileBytes(const MappingRows& rows, TextFitter fit, std::string_view lineEnd)
{
    MappingCells headings;
    for (std::size_t c = 0; c < headings.size(); ++c)
        headings[c] = fit(kMappingHeadings[c], kHeadingLimit);
    std::vector<MappingCells> cells;
    cells.reserve(static_cast<std::size_t>(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        cells.push_back(rows.cells(r));
    return mappingTableText(headings, cells, lineEnd);
}

std::string outputFileBytes(const std::vector<std::string>& lines, std::string_view lineEnd)
{
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += lineEnd;
    }
    return bytes;
}

}  // namespace tevra
