// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C reaches tevra-watch's loop as Windows delivers it: on another thread,
// to the console control handlers. Under Wine the harness sends this program
// SIGINT, which Wine turns into the console's Ctrl+C event; without the
// handler, that event would end the program here and now.
#include "HarnessClient.h"
#include "cli/StopSignals.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

TEST(StopSignals, CtrlCEndsTheSleepNotTheProgram)
{
    if (!harnessPresent())
        GTEST_SKIP() << "needs the harness of tests/wine to press Ctrl+C";
    cli::StopSignals stop;
    ASSERT_EQ(askHarness("interrupt"), "ok");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stop.sleepUntil(start + 60s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

}  // namespace
}  // namespace tevra::test
