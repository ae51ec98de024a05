#include "cli/WatchOptions.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tevra::cli {
namespace {

using Mode = WatchOptions::Mode;

struct ArgumentCase {
    const char* name;
    std::vector<std::string_view> arguments;
    bool valid;
    Mode mode = Mode::Watch;
    int intervalMs = 1500;
    bool once = false;
    bool table = false;
};

void PrintTo(const ArgumentCase& c, std::ostream* os)
{
    *os << c.name;
}

const ArgumentCase kArgumentCases[] = {
    { "none", {}, true },
    { "once", { "--once" }, true, Mode::Watch, 1500, true },
    { "once_table", { "--once", "--table" }, true, Mode::Watch, 1500, true, true },
    { "table_once", { "--table", "--once" }, true, Mode::Watch, 1500, true, true },
    { "interval_lowest", { "--interval", "100" }, true, Mode::Watch, 100 },
    { "interval_highest", { "--interval", "60000" }, true, Mode::Watch, 60000 },
    { "interval_with_once", { "--interval", "250", "--once" }, true, Mode::Watch, 250, true },
    { "help", { "--help" }, true, Mode::Help },
    { "help_short", { "-h" }, true, Mode::Help },
    { "version", { "--version" }, true, Mode::Version },
    { "first_request_wins", { "--version", "--help" }, true, Mode::Version },
    { "interval_too_short", { "--interval", "99" }, false },
    { "interval_too_long", { "--interval", "60001" }, false },
    { "interval_missing", { "--interval" }, false },
    { "interval_not_a_number", { "--interval", "fast" }, false },
    { "interval_with_unit", { "--interval", "500ms" }, false },
    { "interval_signed", { "--interval", "+500" }, false },
    { "interval_joined", { "--interval=500" }, false },
    { "table_alone", { "--table" }, false },
    { "unknown", { "--bogus" }, false },
    { "unknown_after_version", { "--version", "--bogus" }, false },
    { "positional", { "eth0" }, false },
};

class ArgumentsTest : public testing::TestWithParam<ArgumentCase> { };

TEST_P(ArgumentsTest, ReadsTheCommandLine)
{
    const ArgumentCase& c = GetParam();
    const ParsedArguments parsed = parseWatchArguments(c.arguments);
    ASSERT_EQ(parsed.options.has_value(), c.valid) << parsed.error;
    if (!c.valid) {
        EXPECT_NE(parsed.error, "");
        return;
    }
    EXPECT_EQ(parsed.options->mode, c.mode);
    EXPECT_EQ(parsed.options->intervalMs, c.intervalMs);
    EXPECT_EQ(parsed.options->once, c.once);
    EXPECT_EQ(parsed.options->table, c.table);
}

INSTANTIATE_TEST_SUITE_P(Cases, ArgumentsTest, testing::ValuesIn(kArgumentCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::cli
