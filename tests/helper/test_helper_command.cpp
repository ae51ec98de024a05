// SPDX-License-Identifier: GPL-3.0-or-later
// The two argument lists the helper accepts, read into the values it acts on.
#include "helper/HelperCommand.h"

#include <gtest/gtest.h>

#include <vector>

namespace tevra::helper {
namespace {

std::optional<HelperCommand> parse(std::vector<std::string_view> arguments)
{
    return parseHelperCommand(arguments);
}

TEST(HelperCommand, ReadsDeleteAndFlush)
{
    const auto deletion = parse({ "delete", "192.168.0.1", "3" });
    ASSERT_TRUE(deletion);
    EXPECT_EQ(deletion->verb, HelperCommand::Verb::Delete);
    EXPECT_EQ(deletion->address.v4Value(), 0x0100A8C0u);  // network byte order, as the host layer takes it
    EXPECT_EQ(deletion->interfaceIndex, 3u);

    const auto flush = parse({ "flush", "2147483647" });
    ASSERT_TRUE(flush);
    EXPECT_EQ(flush->verb, HelperCommand::Verb::Flush);
    EXPECT_EQ(flush->interfaceIndex, 2147483647u);

    EXPECT_FALSE(parse({ "delete", "192.168.0.1", "3 " }));
    EXPECT_FALSE(parse({ "delete", "192.168.0.1 ", "3" }));
}

}  // namespace
}  // namespace tevra::helper
