#pragma once

#include <QString>

namespace tevra {

// How many characters a text may have where it goes into a fixed buffer,
// without the terminator: the notification area's balloon and tip, and a
// heading of the saved mapping list.
inline constexpr int kBalloonTextLimit = 255;
inline constexpr int kBalloonTitleLimit = 63;
inline constexpr int kTipLimit = 127;
inline constexpr int kHeadingLimit = 63;

// `text` cut to at most `limit` UTF-16 units at the last character boundary
// that fits, so a surrogate pair or a letter with its accents stays whole.
QString fitToLimit(const QString& text, int limit);

}  // namespace tevra
