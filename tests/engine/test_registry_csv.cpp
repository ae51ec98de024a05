// SPDX-License-Identifier: GPL-3.0-or-later
// One registry list read as the CSV it is, line by line: what counts, what is
// skipped, and that a skipped line never takes a neighbour with it.
#include "engine/RegistryCsv.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::string_literals;

using Blocks = std::vector<std::pair<std::uint64_t, std::string>>;

Blocks blocksOf(const RegistryRows& rows)
{
    Blocks blocks;
    for (const RegistryRows::Block& block : rows.blocks)
        blocks.emplace_back(block.prefix, std::string(rows.names.c_str() + block.nameOffset));
    return blocks;
}

struct CsvCase {
    const char* name;
    std::string text;  // an MA-M list
    Blocks blocks;
    std::size_t skipped;
};

void PrintTo(const CsvCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string kHeader = "Registry,Assignment,Organization Name,Organization Address\r\n";
const std::string kNext = "MA-M,208593B,IOG Products LLC,9737 LURLINE AVENUE\r\n";
const std::pair<std::uint64_t, std::string> kNextBlock { 0x208593B, "IOG Products LLC" };

const CsvCase kCsvCases[] = {
    // Read
    { "plain_with_header", kHeader + kNext, { kNextBlock }, 0 },
    { "quoted_comma_and_doubled_quotes",
        "MA-M,741AE01,\"ACME \"\"Best\"\", Inc.\",\"Main St, 1\"\r\n" + kNext,
        { { 0x741AE01, "ACME \"Best\", Inc." }, kNextBlock }, 0 },
    { "names_trimmed_inner_spaces_kept", "MA-M,741AE01,  \tZAO  \"NPK\" \t,x\r\n" + kNext,
        { { 0x741AE01, "ZAO  \"NPK\"" }, kNextBlock }, 0 },
    { "quoted_name_trimmed", "MA-M,741AE01,\"   ZAO \"\"NPK Rotek\"\" \",x\r\n",
        { { 0x741AE01, "ZAO \"NPK Rotek\"" } }, 0 },
    { "address_over_lines", "MA-M,741AE01,Foo,\"Unit 7,\nNo.2, Road\nShenzhen \"\r\n" + kNext,
        { { 0x741AE01, "Foo" }, kNextBlock }, 0 },
    { "quoted_registry_and_lower_case_hex", "\"MA-M\",\"741ae0f\",Foo,\r\n", { { 0x741AE0F, "Foo" } }, 0 },
    { "lf_line_ends_blank_lines_no_last_line_end", "MA-M,741AE01,Foo,x\n\r\n\nMA-M,741AE02,Bar,y",
        { { 0x741AE01, "Foo" }, { 0x741AE02, "Bar" } }, 0 },
    { "byte_order_mark", "\xEF\xBB\xBF" + kHeader + kNext, { kNextBlock }, 0 },
    { "utf8_name", "MA-M,741AE01,Veszpr\xC3\xA9m Kft.,x\r\n", { { 0x741AE01, "Veszpr\xC3\xA9m Kft." } }, 0 },
    // A megabyte-long name is cut to 256 bytes, never inside a letter.
    { "long_name_cut",
        "MA-M,741AE01," + std::string(255, 'a') + "\xC3\xA9" + std::string(1 << 20, 'b') + ",x\r\n",
        { { 0x741AE01, std::string(255, 'a') } }, 0 },
    // Skipped, and the next line still read
    { "other_registry", "MA-L,741AE0,Foo,x\r\n" + kNext, { kNextBlock }, 1 },
    { "header_not_first", kNext + kHeader, { kNextBlock }, 1 },
    { "prefix_short", "MA-M,741AE0,Foo,x\r\n" + kNext, { kNextBlock }, 1 },
    { "prefix_long", "MA-M,741AE012,Foo,x\r\n" + kNext, { kNextBlock }, 1 },
    { "prefix_not_hex", "MA-M,741AG01,Foo,x\r\n" + kNext, { kNextBlock }, 1 },
    { "prefix_with_blank", "MA-M, 741AE01,Foo,x\r\n" + kNext, { kNextBlock }, 1 },
    { "nul_in_name", "MA-M,741AE01,Fo\0o,x\r\n"s + kNext, { kNextBlock }, 1 },
    { "run_of_nul_bytes", std::string(std::size_t(1) << 20, '\0') + "\r\n" + kNext, { kNextBlock }, 1 },
    { "nul_in_address", "MA-M,741AE01,Foo,\"x\0\"\r\n"s + kNext, { kNextBlock }, 1 },
    { "cr_only_line_ends", "MA-M,741AE01,Foo,x\rMA-M,741AE02,Bar,y\r" + kNext, { kNextBlock }, 2 },
    { "cr_cr_lf_line_end", "MA-M,741AE01,Foo,x\r\r\n" + kNext, { kNextBlock }, 1 },
    { "unclosed_quote_in_name", "MA-M,741AE01,\"Foo, Inc,x\r\n" + kNext, { kNextBlock }, 1 },
    { "unclosed_quote_in_address", "MA-M,741AE01,Foo,\"x\r\n" + kNext, { kNextBlock }, 1 },
    { "unclosed_quote_at_the_end", kNext + "MA-M,741AE01,Foo,\"x\r\nmore", { kNextBlock }, 1 },
    { "text_after_closing_quote", "MA-M,741AE01,\"Foo\" Ltd,x\r\n" + kNext, { kNextBlock }, 1 },
    { "unquoted_comma_in_name", "MA-M,741AE01,Foo, Inc.,x\r\n" + kNext, { kNextBlock }, 1 },
    { "three_fields", "MA-M,741AE01,Foo\r\n" + kNext, { kNextBlock }, 1 },
    { "empty_name", "MA-M,741AE01,,x\r\nMA-M,741AE02,\" \t \",x\r\n" + kNext, { kNextBlock }, 2 },
    // The quoted line break ends the line there; what follows it is a line of its own.
    { "control_character_in_name", "MA-M,741AE01,Foo\tBar,x\r\nMA-M,741AE02,\"Foo\nBar\",x\r\n" + kNext,
        { kNextBlock }, 3 },
};

class ReadRegistryCsv : public testing::TestWithParam<CsvCase> { };

TEST_P(ReadRegistryCsv, KeepsTheGoodLinesAndCountsTheRest)
{
    const RegistryRows rows = readRegistryCsv(GetParam().text, "MA-M", 7);
    EXPECT_EQ(blocksOf(rows), GetParam().blocks);
    EXPECT_EQ(rows.skipped, GetParam().skipped);
}

INSTANTIATE_TEST_SUITE_P(Lines, ReadRegistryCsv, testing::ValuesIn(kCsvCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
