// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/VendorTable.h"

#include "engine/RegistryCsv.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tevra {
namespace {

// Today's largest list is 3 MB; a file far past that is not a registry list.
constexpr std::size_t kMaxListBytes = std::size_t(64) << 20;

// Into `text`, which the caller keeps for the next list: fresh memory is what
// reading the lists costs most.
bool readListFile(const std::string& path, std::string& text)
{
    // Opening a FIFO would wait for a writer for ever; a device has no end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0 || std::uint64_t(size) > kMaxListBytes)
        return false;
    text.resize(std::size_t(size));
    in.seekg(0);
    in.read(text.data(), size);
    return in.gcount() == size;  // not so for a folder, or when the file was cut short meanwhile
}

std::optional<std::size_t> registryIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kVendorRegistries.size(); ++i)
        if (name == kVendorRegistries[i].name)
            return i;
    return std::nullopt;
}

std::uint64_t macValue(const MacBytes& mac)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 6; ++i)
        value = value << 8 | mac[std::size_t(i)];
    return value;
}

// The U/L bit set and the I/G bit clear.
bool isLocallyAdministeredUnicast(const MacBytes& mac)
{
    return (mac[0] & 0x03) == 0x02;
}

}  // namespace

std::vector<std::string> VendorTable::listFolders()
{
    const char* const own = std::getenv("TEVRA_IEEE_DATA");
    if (own != nullptr && *own != '\0')
        return { own };
    return { "/var/lib/ieee-data", "/usr/share/ieee-data" };
}

void VendorTable::load(const std::vector<std::string>& folders)
{
    loadEmbedded();
    std::string text;
    for (std::size_t i = 0; i < kVendorRegistries.size(); ++i) {
        const VendorRegistry& registry = kVendorRegistries[i];
        for (const std::string& folder : folders) {
            std::string path = folder + "/" + registry.fileName;
            if (!readListFile(path, text))
                continue;
            List list = readList(registry, text, std::move(path));
            if (list.blocks.prefixes.empty())
                continue;  // an empty or spoilt list would hide every name of its registry
            lists_[i] = std::move(list);
            break;
        }
    }
}

void VendorTable::loadEmbedded()
{
    const EmbeddedRegistry& embedded = embeddedRegistry();
    for (std::size_t i = 0; i < kVendorRegistries.size(); ++i) {
        lists_[i] = List {};
        lists_[i].blocks = embedded.*kVendorRegistries[i].embedded;
        lists_[i].names = embedded.names;
    }
}

std::optional<std::size_t> VendorTable::loadList(
    std::string_view registry, std::string_view csv, std::string source)
{
    const std::optional<std::size_t> index = registryIndex(registry);
    if (!index)
        return std::nullopt;
    lists_[*index] = readList(kVendorRegistries[*index], csv, std::move(source));
    return lists_[*index].skippedLines;
}

VendorTable::List VendorTable::readList(
    const VendorRegistry& registry, std::string_view csv, std::string source)
{
    RegistryRows rows = readRegistryCsv(csv, registry.name, registry.digits);
    // Names are stored in line order, so their offsets keep the first line for
    // a prefix first.
    std::sort(rows.blocks.begin(), rows.blocks.end(),
        [](const RegistryRows::Block& a, const RegistryRows::Block& b) {
            return a.prefix != b.prefix ? a.prefix < b.prefix : a.nameOffset < b.nameOffset;
        });
    auto owned = std::make_unique<OwnedBlocks>();
    owned->prefixes.reserve(rows.blocks.size());
    owned->nameOffsets.reserve(rows.blocks.size());
    for (const RegistryRows::Block& block : rows.blocks) {
        if (!owned->prefixes.empty() && owned->prefixes.back() == block.prefix)
            continue;
        owned->prefixes.push_back(block.prefix);
        owned->nameOffsets.push_back(block.nameOffset);
    }
    owned->names = std::move(rows.names);
    List list;
    list.blocks = { owned->prefixes, owned->nameOffsets };
    list.names = owned->names.c_str();
    list.source = std::move(source);
    list.skippedLines = rows.skipped;
    list.owned = std::move(owned);
    return list;
}

std::optional<std::string_view> VendorTable::find(const MacBytes& mac) const
{
    const std::uint64_t value = macValue(mac);
    for (std::size_t i = 0; i < kVendorRegistries.size(); ++i) {
        const RegistryBlocks& blocks = lists_[i].blocks;
        const std::uint64_t prefix = value >> (48 - 4 * kVendorRegistries[i].digits);
        const auto it = std::lower_bound(blocks.prefixes.begin(), blocks.prefixes.end(), prefix);
        if (it != blocks.prefixes.end() && *it == prefix)
            return std::string_view(
                lists_[i].names + blocks.nameOffsets[std::size_t(it - blocks.prefixes.begin())]);
    }
    if (isLocallyAdministeredUnicast(mac))
        return kLocallyAdministered;
    return std::nullopt;
}

bool VendorTable::empty() const
{
    return size() == 0;
}

std::size_t VendorTable::size() const
{
    std::size_t blocks = 0;
    for (const List& list : lists_)
        blocks += list.blocks.prefixes.size();
    return blocks;
}

void VendorTable::clear()
{
    for (List& list : lists_)
        list = List {};
}

std::size_t VendorTable::skippedLines() const
{
    std::size_t lines = 0;
    for (const List& list : lists_)
        lines += list.skippedLines;
    return lines;
}

std::vector<VendorListInfo> VendorTable::lists() const
{
    std::vector<VendorListInfo> infos;
    for (std::size_t i = 0; i < kVendorRegistries.size(); ++i)
        infos.push_back({ kVendorRegistries[i].name, lists_[i].source, lists_[i].blocks.prefixes.size(),
            lists_[i].skippedLines });
    return infos;
}

}  // namespace tevra
