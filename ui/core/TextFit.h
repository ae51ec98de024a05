// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tevra {

// How many UTF-16 units a text may have where it goes into a fixed buffer,
// without the terminator: the notification area's balloon and tip, and a
// heading of the saved mapping list.
inline constexpr int kBalloonTextLimit = 255;
inline constexpr int kBalloonTitleLimit = 63;
inline constexpr int kTipLimit = 127;
inline constexpr int kHeadingLimit = 63;

// UTF-8 `text` cut to at most `limit` UTF-16 units, at a character boundary,
// never between a character and the marks or joiners that follow it.
std::string fitUtf8ToLimit(std::string_view text, int limit);

// How a face cuts a UTF-8 text to a limit in UTF-16 units.
using TextFitter = std::string (*)(std::string_view text, int limit);

}  // namespace tevra
