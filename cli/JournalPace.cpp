// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JournalPace.h"

namespace tevra::cli {

bool JournalPace::admit(std::int32_t kind, Clock::time_point now)
{
    if (!windowStart_ || now >= *windowStart_ + kWindow) {
        windowStart_ = now;
        admitted_ = 0;
    }
    if (admitted_ < kEntriesPerSecond) {
        ++admitted_;
        return true;
    }
    ++held_.byKind[kind];
    ++held_.total;
    return false;
}

std::optional<JournalPace::Summary> JournalPace::takeSummary(Clock::time_point now, bool final)
{
    if (held_.total == 0 || (!final && now < *windowStart_ + kWindow))
        return std::nullopt;
    Summary summary = std::move(held_);
    held_ = {};
    return summary;
}

std::optional<JournalPace::Clock::time_point> JournalPace::dueAt() const
{
    if (held_.total == 0)
        return std::nullopt;
    return *windowStart_ + kWindow;
}

}  // namespace tevra::cli
