// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tevra::hostnet {

// The system's own text for an error code, on one line, with its number.
std::string systemMessage(DWORD code);

// Text in the ANSI code page, as the A functions hand it out, as UTF-8.
std::string utf8FromAnsi(std::string_view ansi);

}  // namespace tevra::hostnet
