// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EmbeddedRegistry.h"
#include "engine/MacAddress.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

// A registry the IEEE assigns MAC address blocks from, as Debian's ieee-data
// carries it.
struct VendorRegistry {
    const char* name;  // the first field of each line of its list
    const char* fileName;
    unsigned digits;  // hex digits of a prefix
    RegistryBlocks EmbeddedRegistry::*embedded;
};

// Longest prefix first: a lookup takes the first registry that holds the MAC,
// so a block sub-assigned out of an MA-L shows its own organisation.
inline constexpr std::array<VendorRegistry, 4> kVendorRegistries { {
    { "MA-S", "oui36.csv", 9, &EmbeddedRegistry::mas },
    { "IAB", "iab.csv", 9, &EmbeddedRegistry::iab },
    { "MA-M", "mam.csv", 7, &EmbeddedRegistry::mam },
    { "MA-L", "oui.csv", 6, &EmbeddedRegistry::mal },
} };

// What a locally administered unicast MAC that no registry holds is called.
inline constexpr std::string_view kLocallyAdministered = "locally administered";

// Where one registry's blocks came from, for a diagnostic.
struct VendorListInfo {
    const char* registry;
    std::string source;  // the file read; empty for the compiled-in copy or nothing
    std::size_t blocks;
    std::size_t skippedLines;
};

// Organisation names by MAC prefix over the four registries. Holds the
// compiled-in copy by reference and lists read at run time by value.
class VendorTable {
public:
    // Where load() looks: the folder TEVRA_IEEE_DATA names, if set; otherwise
    // /var/lib/ieee-data (kept current by update-ieee-data), then
    // /usr/share/ieee-data (as the package installed it).
    static std::vector<std::string> listFolders();

    // Each registry from the first folder whose list gives at least one block,
    // the compiled-in copy for any registry none of them has.
    void load(const std::vector<std::string>& folders);
    void loadEmbedded();
    // Replaces one registry's blocks with those of a CSV list in the layout of
    // ieee-data's; within the list the first line for a prefix wins. The count
    // of skipped lines, or nothing for an unknown registry.
    std::optional<std::size_t> loadList(
        std::string_view registry, std::string_view csv, std::string source = {});

    // The organisation of the longest registered prefix of the MAC's first six
    // bytes; kLocallyAdministered for a locally administered unicast MAC that
    // no registry holds; nothing otherwise.
    std::optional<std::string_view> find(const MacBytes& mac) const;

    bool empty() const;
    std::size_t size() const;
    void clear();
    std::size_t skippedLines() const;
    std::vector<VendorListInfo> lists() const;

private:
    struct OwnedBlocks {
        std::vector<std::uint64_t> prefixes;
        std::vector<std::uint32_t> nameOffsets;
        std::string names;
    };
    struct List {
        RegistryBlocks blocks;
        const char* names = nullptr;
        std::string source;
        std::size_t skippedLines = 0;
        // Behind a pointer so that `blocks` stays valid when the table moves.
        std::unique_ptr<const OwnedBlocks> owned;
    };

    static List readList(const VendorRegistry& registry, std::string_view csv, std::string source);

    std::array<List, kVendorRegistries.size()> lists_;
};

}  // namespace tevra
