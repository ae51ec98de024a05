// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Address.h"

#include <gtest/gtest.h>

namespace tevra {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    bool valid;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

const ParseCase kParseCases[] = {
    { "plain", "192.168.0.1", true },
    { "all_ones_is_an_address", "255.255.255.255", true },
    { "zero", "0.0.0.0", true },
    { "part_too_large", "256.1.1.1", false },
    { "three_parts", "10.0.0", false },
    { "five_parts", "10.0.0.1.2", false },
    { "single_number", "1", false },
    { "leading_zero_octal_in_inet_addr", "010.0.0.1", false },
    { "trailing_text", "10.0.0.1x", false },
    { "leading_space", " 10.0.0.1", false },
    { "empty_part", "10..0.1", false },
    { "empty", "", false },
    { "sign", "+1.2.3.4", false },
    { "four_digits", "1000.0.0.1", false },
};

class ParseDottedQuad : public ::testing::TestWithParam<ParseCase> { };

TEST_P(ParseDottedQuad, AcceptsOnlyStrictQuads)
{
    const auto parsed = parseDottedQuad(GetParam().text);
    EXPECT_EQ(parsed.has_value(), GetParam().valid);
    if (parsed) {
        EXPECT_EQ(dottedText(*parsed), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseDottedQuad, ::testing::ValuesIn(kParseCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Address, KeepsNetworkByteOrder)
{
    const std::uint32_t address = *parseDottedQuad("192.168.0.1");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_EQ(netToHost(address), 3232235521u);
    EXPECT_EQ(hostToNet(3232235521u), address);
}

}  // namespace
}  // namespace tevra
