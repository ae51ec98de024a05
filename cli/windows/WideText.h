// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tevra::cli {

// Paths, arguments and the environment are UTF-8 inside tevra-watch and
// UTF-16 at the system's W functions.
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

// The system's own text for an error code, on one line.
std::string systemMessage(DWORD code);

}  // namespace tevra::cli
