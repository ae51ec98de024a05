#pragma once

#include <QString>

namespace tevra {

// How many characters the notification area takes, without the terminator.
inline constexpr int kBalloonTextLimit = 255;
inline constexpr int kBalloonTitleLimit = 63;
inline constexpr int kTipLimit = 127;

// `text` cut to at most `limit` UTF-16 units at the last character boundary
// that fits, so a surrogate pair or a letter with its accents stays whole.
QString fitToLimit(const QString& text, int limit);

}  // namespace tevra
