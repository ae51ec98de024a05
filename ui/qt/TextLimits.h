// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/TextFit.h"

#include <QString>

#include <string>
#include <string_view>

namespace tevra {

// `text` cut to at most `limit` UTF-16 units at the last character boundary
// that fits, so a surrogate pair or a letter with its accents stays whole.
QString fitToLimit(const QString& text, int limit);
// The same for UTF-8 text, as the shared logic's TextFitter.
std::string fitUtf8ByGraphemes(std::string_view text, int limit);

}  // namespace tevra
