// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LocalTime.h"
#include "tests/support/Environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

namespace tevra {
namespace {

// Calls in this order: each text must be that of its own time, whatever the
// call before it asked for.
struct TimeCase {
    std::int64_t seconds;
    const char* timeZone;
    const char* text;
};

TEST(TimeOfDayText, EachCallShowsItsOwnSecondInTheCurrentZone)
{
    constexpr std::int64_t kNoon = 1796904000;  // 2026-12-10 12:00:00 UTC
    const TimeCase cases[] = {
        { kNoon, "UTC", "12:00:00" },
        { kNoon, "UTC", "12:00:00" },
        { kNoon + 1, "UTC", "12:00:01" },
        { kNoon, "UTC", "12:00:00" },
        { std::numeric_limits<std::int64_t>::max(), "UTC", "" },
        { kNoon, "UTC", "12:00:00" },
        // The zone changed while the program runs: the next second shows it.
        { kNoon + 2, "UTC-2", "14:00:02" },
    };
    for (const TimeCase& c : cases) {
        test::setTimeZone(c.timeZone);
        EXPECT_EQ(timeOfDayText(c.seconds), c.text) << c.seconds << " in " << c.timeZone;
    }
    test::setTimeZone("UTC");
}

}  // namespace
}  // namespace tevra
