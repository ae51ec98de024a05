// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tevra {

// Texts that many rows share (vendor and adapter names), each kept once; a
// row holds its number. There are as many as the vendor lists and the
// adapters have names, so they are kept until the rows go.
class SharedTexts {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    std::uint32_t idOf(std::string_view text);
    const std::string& text(std::uint32_t id) const { return texts_[id]; }
    void clear();

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };

    std::vector<std::string> texts_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> ids_;
    std::uint32_t lastId_ = kNone;  // rows in address order often repeat a name
};

}  // namespace tevra
