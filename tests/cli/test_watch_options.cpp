// SPDX-License-Identifier: GPL-3.0-or-later
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
    bool json = false;
    const char* state = "";
    const char* exec = "";
    std::size_t ignoreRules = 0;
    int execTimeout = 30;
    int resync = 60;
    int maxAddresses = 65536;
    bool ipv4 = true;
    bool ipv6 = true;
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
    { "interval_joined", { "--interval=500" }, true, Mode::Watch, 500 },
    { "interval_joined_empty", { "--interval=" }, false },
    { "table_alone", { "--table" }, false },
    { "unknown", { "--bogus" }, false },
    { "unknown_after_version", { "--version", "--bogus" }, false },
    { "positional", { "eth0" }, false },
    { "positional_after_options", { "--once", "eth0" }, false },
    { "json_table", { "--once", "--table", "--json" }, true, Mode::Watch, 1500, true, true, true },
    { "state", { "--state", "/var/lib/tevra/mappings" }, true, Mode::Watch, 1500, false, false, false,
        "/var/lib/tevra/mappings" },
    { "state_joined", { "--state=with space" }, true, Mode::Watch, 1500, false, false, false, "with space" },
    { "state_missing", { "--state" }, false },
    { "state_empty", { "--state", "" }, false },
    { "exec", { "--exec", "/usr/local/bin/on-alert" }, true, Mode::Watch, 1500, false, false, false, "",
        "/usr/local/bin/on-alert" },
    { "exec_missing", { "--exec" }, false },
    { "exec_timeout", { "--exec", "on-alert", "--exec-timeout", "5" }, true, Mode::Watch, 1500, false, false,
        false, "", "on-alert", 0, 5 },
    { "exec_timeout_zero", { "--exec-timeout", "0" }, false },
    { "resync", { "--resync", "600" }, true, Mode::Watch, 1500, false, false, false, "", "", 0, 30, 600 },
    { "resync_zero", { "--resync", "0" }, false },
    { "max_addresses", { "--max-addresses", "1000" }, true, Mode::Watch, 1500, false, false, false, "", "", 0,
        30, 60, 1000 },
    { "max_addresses_zero", { "--max-addresses", "0" }, false },
    { "max_addresses_over", { "--max-addresses", "16777217" }, false },
    { "exec_timeout_over_a_day", { "--exec-timeout", "86401" }, false },
    { "exec_timeout_fraction", { "--exec-timeout", "0.5" }, false },
    { "ignore_repeated", { "--ignore", "10.0.0.1", "--ignore=00-00-5E-00-01" }, true, Mode::Watch, 1500,
        false, false, false, "", "", 2 },
    { "ignore_not_a_rule", { "--ignore", "router" }, false },
    { "ignore_missing", { "--ignore" }, false },
    { "flag_with_value", { "--once=yes" }, false },
    { "ipv4_only", { "-4" }, true, Mode::Watch, 1500, false, false, false, "", "", 0, 30, 60, 65536, true,
        false },
    { "ipv6_only", { "-6" }, true, Mode::Watch, 1500, false, false, false, "", "", 0, 30, 60, 65536, false,
        true },
    { "ipv4_long", { "--ipv4", "--once" }, true, Mode::Watch, 1500, true, false, false, "", "", 0, 30, 60,
        65536, true, false },
    { "ipv6_long", { "--ipv6" }, true, Mode::Watch, 1500, false, false, false, "", "", 0, 30, 60, 65536,
        false, true },
    { "ipv6_in_a_group", { "-6h" }, true, Mode::Help, 1500, false, false, false, "", "", 0, 30, 60, 65536,
        false, true },
    { "ipv4_repeated", { "-4", "-4" }, true, Mode::Watch, 1500, false, false, false, "", "", 0, 30, 60, 65536,
        true, false },
    { "both_families", { "-4", "-6" }, false },
    { "both_families_grouped", { "-46" }, false },
    { "both_families_long", { "--ipv6", "--ipv4" }, false },
    { "family_with_value", { "--ipv4=yes" }, false },
    { "family_as_value", { "-4", "6" }, false },
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
    EXPECT_EQ(parsed.options->json, c.json);
    EXPECT_EQ(parsed.options->statePath, c.state);
    EXPECT_EQ(parsed.options->execProgram, c.exec);
    EXPECT_EQ(parsed.options->ignore.size(), c.ignoreRules);
    EXPECT_EQ(parsed.options->execTimeoutSeconds, c.execTimeout);
    EXPECT_EQ(parsed.options->resyncSeconds, c.resync);
    EXPECT_EQ(parsed.options->maxAddresses, c.maxAddresses);
    EXPECT_EQ(parsed.options->ipv4, c.ipv4);
    EXPECT_EQ(parsed.options->ipv6, c.ipv6);
}

// Asking for both families alone says why, rather than watching nothing.
TEST(Arguments, BothFamiliesAreRefusedByName)
{
    const std::vector<std::string_view> arguments { "-6", "-4" };
    const ParsedArguments parsed = parseWatchArguments(arguments);
    ASSERT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find("-4 and -6"), std::string::npos) << parsed.error;
}

// Each option that takes a value says what it wants when it has none.
TEST(Arguments, MissingValuesAreNamed)
{
    const std::pair<std::string_view, std::string> cases[] = {
        { "--interval", "--interval needs a number of milliseconds" },
        { "--state", "--state needs a file name" },
        { "--ignore", "--ignore needs an address, a MAC address or a MAC prefix" },
        { "--exec", "--exec needs a program" },
        { "--exec-timeout", "--exec-timeout needs a number of seconds" },
        { "--resync", "--resync needs a number of seconds" },
        { "--max-addresses", "--max-addresses needs a number" },
    };
    for (const auto& [option, error] : cases) {
        const std::vector<std::string_view> arguments { "--once", option };
        EXPECT_EQ(parseWatchArguments(arguments).error, error);
    }
}

// The parser keeps its place in globals; reading one command line must not
// leave anything behind for the next.
TEST(Arguments, ReadingAgainStartsAfresh)
{
    const std::vector<std::string_view> first { "--once", "--bogus" };
    const std::vector<std::string_view> second { "--interval", "700" };
    EXPECT_FALSE(parseWatchArguments(first).options);
    const ParsedArguments parsed = parseWatchArguments(second);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->intervalMs, 700);
    EXPECT_FALSE(parsed.options->once);
}

// The help text lists every option the parser takes.
TEST(Arguments, HelpListsEveryOption)
{
    for (const char* option :
        { "--interval", "--once", "--table", "--json", "--state", "--ignore", "--exec", "--exec-timeout",
            "--resync", "--max-addresses", "--help", "--version", "-4, --ipv4", "-6, --ipv6" })
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

INSTANTIATE_TEST_SUITE_P(Cases, ArgumentsTest, testing::ValuesIn(kArgumentCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::cli
