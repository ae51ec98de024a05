// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tevra {

// `text` with each control byte (below 0x20, and 0x7F) written as "\xHH", so
// that a name from the system or the LAN cannot drive the terminal (ESC
// sequences) or split a line or a field of the text outputs. Every other
// byte, UTF-8 included, is kept.
std::string escapedControlBytes(std::string_view text);

}  // namespace tevra
