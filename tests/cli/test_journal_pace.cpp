// SPDX-License-Identifier: GPL-3.0-or-later
// The pace of journal entries under a flood of alerts, on a clock the test sets.
#include "cli/JournalPace.h"
#include "engine/WatchEvent.h"

#include <gtest/gtest.h>

#include <vector>

namespace tevra::cli {
namespace {

using namespace std::chrono_literals;
using Summary = JournalPace::Summary;

constexpr std::int32_t kChanged = MappingChanged;
constexpr std::int32_t kBroadcast = BroadcastMac;

// `count` alerts of `kind` at `atMs`, after the watch loop's service at that time.
struct Burst {
    int atMs;
    std::int32_t kind;
    int count;
};

struct PaceCase {
    const char* name;
    std::vector<Burst> bursts;
    int admitted;
    std::vector<Summary> summaries;  // as said, the one at the end included
};

void PrintTo(const PaceCase& c, std::ostream* os)
{
    *os << c.name;
}

const PaceCase kPaceCases[] = {
    { "within_the_rate", { { 0, kChanged, 100 } }, 100, {} },
    { "past_the_rate_the_rest_is_counted", { { 0, kChanged, 150 } }, 100, { { 50, { { kChanged, 50 } } } } },
    { "counted_by_kind", { { 0, kChanged, 100 }, { 10, kBroadcast, 5 }, { 20, kChanged, 7 } }, 100,
        { { 12, { { kChanged, 7 }, { kBroadcast, 5 } } } } },
    { "each_second_admits_anew", { { 0, kChanged, 130 }, { 1000, kChanged, 130 } }, 200,
        { { 30, { { kChanged, 30 } } }, { 30, { { kChanged, 30 } } } } },
    { "a_second_runs_from_its_first_alert",
        { { 0, kChanged, 100 }, { 900, kChanged, 1 }, { 1500, kChanged, 100 }, { 2400, kChanged, 1 } }, 200,
        { { 1, { { kChanged, 1 } } }, { 1, { { kChanged, 1 } } } } },
    { "a_quiet_second_between_says_nothing", { { 0, kChanged, 50 }, { 5000, kChanged, 50 } }, 100, {} },
};

class JournalPacing : public testing::TestWithParam<PaceCase> { };

TEST_P(JournalPacing, AdmitsAHundredASecondAndSummarisesTheRest)
{
    const PaceCase& c = GetParam();
    const auto start = JournalPace::Clock::time_point {} + 1h;
    JournalPace pace;
    std::vector<Summary> said;
    int admitted = 0;
    for (const Burst& burst : c.bursts) {
        const auto now = start + std::chrono::milliseconds(burst.atMs);
        if (auto summary = pace.takeSummary(now))
            said.push_back(*summary);
        for (int i = 0; i < burst.count; ++i)
            admitted += pace.admit(burst.kind, now) ? 1 : 0;
    }
    if (auto summary = pace.takeSummary(start + 1h, true))
        said.push_back(*summary);
    EXPECT_EQ(admitted, c.admitted);
    EXPECT_EQ(said, c.summaries);
    EXPECT_FALSE(pace.dueAt());
}

INSTANTIATE_TEST_SUITE_P(Cases, JournalPacing, testing::ValuesIn(kPaceCases),
    [](const auto& info) { return std::string(info.param.name); });

// The summary is due when its second ends, not before, and the watch loop
// wakes for it even when no further alert comes.
TEST(JournalPacing, TheSummaryIsDueWhenItsSecondEnds)
{
    const auto start = JournalPace::Clock::time_point {} + 1h;
    JournalPace pace;
    for (int i = 0; i < 101; ++i)
        pace.admit(kChanged, start + 10ms);
    ASSERT_EQ(pace.dueAt(), start + 10ms + 1s);
    EXPECT_FALSE(pace.takeSummary(start + 1009ms));
    EXPECT_EQ(pace.takeSummary(start + 1010ms), (Summary { 1, { { kChanged, 1 } } }));
    EXPECT_FALSE(pace.dueAt());
}

}  // namespace
}  // namespace tevra::cli
