// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/windows/CommandLine.h"

#include <string_view>

namespace tevra::cli {
namespace {

// Backslashes are literal except in a run that ends at a double quote, where
// each pair stands for one; the quote itself then needs one more.
void appendQuoted(std::wstring& line, std::wstring_view argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(character == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        line += character;
        backslashes = 0;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

}  // namespace

std::wstring commandLine(const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (index == 0) {
            // The program's name is read up to the closing quote, with no escapes.
            line += L'"' + arguments[0] + L'"';
            continue;
        }
        line += L' ';
        appendQuoted(line, arguments[index]);
    }
    return line;
}

}  // namespace tevra::cli
