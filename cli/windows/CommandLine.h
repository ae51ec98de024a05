// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tevra::cli {

// The command line that a program's C runtime (and CommandLineToArgvW) splits
// back into exactly `arguments`, by the Microsoft C runtime's rules: Windows
// hands a program one line, not a list, and no shell is involved.
// `arguments` starts with the program, which may not hold a double quote (no
// Windows file name does).
std::wstring commandLine(const std::vector<std::wstring>& arguments);

}  // namespace tevra::cli
