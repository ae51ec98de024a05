// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/MappingRows.h"
#include "ui/core/TextFit.h"

#include <string>
#include <string_view>
#include <vector>

namespace tevra {

// Saved files end their lines with CR LF on every system by default, so a
// file saved on one opens alike on the other; a face may pass another end.
inline constexpr std::string_view kExportLineEnd = "\r\n";

// The bytes of a saved mapping list: headings and cells of columns 0 to 8,
// each followed by a TAB, an empty line after the headings, CR LF line ends,
// UTF-8 without a byte-order mark.
std::string mappingFileBytes(
    const MappingRows& rows, TextFitter fit, std::string_view lineEnd = kExportLineEnd);

// The bytes of a saved output list: each line followed by `lineEnd`; empty for an empty list.
std::string outputFileBytes(const std::vector<std::string>& lines, std::string_view lineEnd = kExportLineEnd);

}  // namespace tevra
