// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tevra::win32 {

// The engine's texts are UTF-8; the window's W functions take UTF-16.
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

}  // namespace tevra::win32
