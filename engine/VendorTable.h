#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tevra {

// Vendor names by 24-bit MAC prefix (first byte most significant).
class VendorTable {
public:
    // Reads an OUI list: lines of six hex digits, five spaces and a name, ended
    // by LF (a CR before it is not part of the name). Text after the last line
    // feed is not read; lines without a space are skipped; the first line for a
    // prefix wins.
    void load(std::string_view text);

    const std::string* find(std::uint32_t prefix) const;
    bool empty() const { return names_.empty(); }
    std::size_t size() const { return names_.size(); }
    void clear() { names_.clear(); }

private:
    std::map<std::uint32_t, std::string> names_;
};

// The OUI list compiled into the program.
std::string_view embeddedOuiList();

}  // namespace tevra
