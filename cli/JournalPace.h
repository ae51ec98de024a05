// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

namespace tevra::cli {

// How many alerts the journal gets one by one. A LAN host can raise
// thousands a second; the journal then gets the first kEntriesPerSecond of
// each second as entries of their own and, once that second is over, one
// summary with how many of each kind were held back. Other outputs are not
// paced: a terminal, a pipe or a hook still get every alert.
class JournalPace {
public:
    static constexpr int kEntriesPerSecond = 100;
    using Clock = std::chrono::steady_clock;

    // The alerts of one second that had no entry of their own, by kind.
    struct Summary {
        std::uint64_t total = 0;
        std::map<std::int32_t, std::uint64_t> byKind;

        friend bool operator==(const Summary&, const Summary&) = default;
    };

    // Whether an alert of `kind` at `now` gets an entry of its own; if not,
    // it is counted for the summary. The summary of a second that is over is
    // to be taken first, so that it is said before what follows.
    bool admit(std::int32_t kind, Clock::time_point now);
    // The held-back alerts once their second is over, or `now` regardless
    // with `final` (at the end of the watch); none when nothing was held back.
    std::optional<Summary> takeSummary(Clock::time_point now, bool final = false);
    // When the next summary is due; none while nothing is held back.
    std::optional<Clock::time_point> dueAt() const;

private:
    static constexpr std::chrono::seconds kWindow { 1 };

    // The second being counted, from its first alert.
    std::optional<Clock::time_point> windowStart_;
    int admitted_ = 0;
    Summary held_;
};

}  // namespace tevra::cli
