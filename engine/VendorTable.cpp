#include "engine/VendorTable.h"

namespace tevra {
namespace {

// Reads like strtoul with base 16: leading white space skipped, stops at the
// first character that is not a hex digit.
std::uint32_t hexPrefix(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    std::uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

// Key and name are parted by the first space and the four characters after it.
constexpr std::size_t kGap = 5;

}  // namespace

void VendorTable::load(std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos || line.size() < space + kGap)
            continue;
        names_.try_emplace(hexPrefix(line.substr(0, space)), line.substr(space + kGap));
    }
}

const std::string* VendorTable::find(std::uint32_t prefix) const
{
    const auto it = names_.find(prefix);
    return it == names_.end() ? nullptr : &it->second;
}

}  // namespace tevra
