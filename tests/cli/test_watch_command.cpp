// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-watch as a user runs it, on every platform: the real program's answers
// to its command line, and its one start-up failure.
#include "Command.h"
#include "FileText.h"
#include "WatchProgram.h"
#include "cli/ConsoleWatch.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

// --- The command line, which needs no table ---

struct CommandCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string outStart;
    std::string errStart;
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

const CommandCase kCommandCases[] = {
    { "version", { "--version" }, 0, "tevra-watch 0.1.5\n", "" },
    { "help", { "--help" }, 0, "Usage: tevra-watch [--interval MS] [--resync SECONDS] [--once [--table]]\n",
        "" },
    { "unknown", { "--bogus" }, 2, "", "tevra-watch: unknown argument '--bogus'\nUsage: tevra-watch" },
    { "interval_out_of_range", { "--interval", "99" }, 2, "", "tevra-watch: --interval takes 100 to 60000" },
    { "table_without_once", { "--table" }, 2, "",
        "tevra-watch: --table goes with --once\nUsage: tevra-watch" },
};

class CommandLineTest : public testing::TestWithParam<CommandCase> { };

TEST_P(CommandLineTest, AnswersWithStatusAndText)
{
    const CommandCase& c = GetParam();
    std::vector<std::string> command { kWatch };
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    const CommandResult result = runCommand(command);
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(result.out.starts_with(c.outStart)) << result.out;
    EXPECT_TRUE(result.err.starts_with(c.errStart)) << result.err;
    if (c.outStart.empty()) {
        EXPECT_EQ(result.out, "");
    }
    if (c.errStart.empty()) {
        EXPECT_EQ(result.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest, testing::ValuesIn(kCommandCases),
    [](const auto& info) { return std::string(info.param.name); });

// A table that cannot be read at start-up is the one failure a user is told
// of. The kernel's table can always be read by its owner, so the scripted host
// stands in for a failing one.
TEST(WatchStartUp, UnreadableTableEndsWithStatusOneAndTheReason)
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->failNetTable = true;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    cli::WatchOptions options;
    EXPECT_EQ(cli::runWatch(options, std::move(fake), out, err), 1);
    EXPECT_EQ(contents(out), "");
    EXPECT_EQ(contents(err), "tevra-watch: cannot read the ARP table: unknown error\n");
    std::fclose(out);
    std::fclose(err);
}
}  // namespace
}  // namespace tevra::test
