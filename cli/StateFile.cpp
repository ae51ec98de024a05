#include "cli/StateFile.h"

#include "cli/AtomicFile.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

namespace tevra::cli {
namespace {

// A million learned addresses take about 80 MB; more is not a state file of ours.
constexpr std::size_t kMaxStateBytes = std::size_t(256) << 20;

constexpr std::size_t kFieldCount = 6;

// "-" for an entry that has no hardware address, else its own bytes.
std::string macField(const MacBytes& mac, std::uint32_t length)
{
    return length == 0 ? "-" : macText(mac.data(), length);
}

std::optional<std::pair<MacBytes, std::uint32_t>> parseMacField(std::string_view text)
{
    MacBytes mac {};
    if (text == "-")
        return std::pair { mac, 0u };
    const auto bytes = parseMacBytes(text);
    if (!bytes)
        return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), mac.begin());
    return std::pair { mac, static_cast<std::uint32_t>(bytes->size()) };
}

template<typename Number> std::optional<Number> parseNumber(std::string_view text)
{
    Number value {};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> split(std::string_view line, char separator)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = line.find(separator);
        parts.push_back(line.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        line.remove_prefix(at + 1);
    }
}

// One mapping line, or why it is not one.
std::optional<StoredMapping> parseMapping(std::string_view line, std::string& reason)
{
    const auto fields = split(line, '\t');
    if (fields.size() != kFieldCount) {
        reason = "expected " + std::to_string(kFieldCount) + " TAB-separated fields, found "
            + std::to_string(fields.size());
        return std::nullopt;
    }
    StoredMapping mapping;
    const auto address = parseDottedQuad(fields[0]);
    const auto mac = parseMacField(fields[1]);
    const auto type = parseNumber<std::uint32_t>(fields[3]);
    const auto firstSeen = parseNumber<std::int64_t>(fields[4]);
    const auto lastChanged = parseNumber<std::int64_t>(fields[5]);
    const std::pair<bool, const char*> checks[] = {
        { address.has_value(), "not an IPv4 address" },
        { mac.has_value(), "not a MAC address" },
        { type.has_value(), "not an entry type" },
        { firstSeen.has_value(), "not a time (first seen)" },
        { lastChanged.has_value(), "not a time (last changed)" },
    };
    for (const auto& [ok, why] : checks) {
        if (!ok) {
            reason = why;
            return std::nullopt;
        }
    }
    // Read, but not what this program ever writes: a hand-edited or planted line.
    const std::pair<bool, const char*> sane[] = {
        { mac->second == 0 || mac->second == 6 || mac->second == 8, "a MAC address has 6 or 8 bytes" },
        { *type >= hostnet::kNetTypeOther && *type <= hostnet::kNetTypeStatic, "unknown entry type" },
        { *firstSeen >= 0, "time before 1970 (first seen)" },
        { *lastChanged >= 0, "time before 1970 (last changed)" },
    };
    for (const auto& [ok, why] : sane) {
        if (!ok) {
            reason = why;
            return std::nullopt;
        }
    }
    mapping.address = *address;
    mapping.mac = mac->first;
    mapping.macLength = mac->second;
    mapping.interface = std::string(fields[2]);
    mapping.type = *type;
    mapping.firstSeen = *firstSeen;
    mapping.lastChanged = *lastChanged;
    return mapping;
}

// A field must not break the line it is written in.
std::string oneField(std::string text)
{
    std::ranges::replace_if(
        text, [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

std::int64_t oldestTime(const MappingEntry& entry)
{
    const MappingEntry* oldest = &entry;
    while (oldest->previous != nullptr)
        oldest = oldest->previous.get();
    return oldest->lastChanged;
}

}  // namespace

std::string stateText(const std::vector<StoredMapping>& mappings)
{
    std::string text(kStateHeader);
    text += '\n';
    for (const StoredMapping& mapping : mappings) {
        text += dottedText(mapping.address) + '\t' + macField(mapping.mac, mapping.macLength) + '\t'
            + oneField(mapping.interface) + '\t' + std::to_string(mapping.type) + '\t'
            + std::to_string(mapping.firstSeen) + '\t' + std::to_string(mapping.lastChanged) + '\n';
    }
    return text;
}

ParsedState parseStateText(std::string_view text)
{
    // Written whole by us, so a last line without its line end means the
    // file was cut short by something else.
    if (text.empty())
        return { std::nullopt, 1, "empty file, expected \"" + std::string(kStateHeader) + "\"" };
    if (text.back() != '\n')
        return { std::nullopt, std::size_t(std::ranges::count(text, '\n')) + 1,
            "the file ends in the middle of a line" };
    auto lines = split(text.substr(0, text.size() - 1), '\n');
    if (lines.front() != kStateHeader)
        return { std::nullopt, 1, "expected \"" + std::string(kStateHeader) + "\"" };
    std::vector<StoredMapping> mappings;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string reason;
        auto mapping = parseMapping(lines[i], reason);
        if (mapping && !seen.insert(mapping->address).second)
            reason = "address listed twice";
        if (!reason.empty())
            return { std::nullopt, i + 1, reason };
        mappings.push_back(std::move(*mapping));
    }
    return { std::move(mappings), 0, {} };
}

StateFile::StateFile(std::string path, std::FILE* err)
    : path_(std::move(path))
    , err_(err)
{
}

std::string StateFile::load(CMappingWatcher& watcher)
{
    const FileContents contents = readWholeFile(path_, kMaxStateBytes);
    if (contents.missing)
        return {};
    if (!contents.error.empty())
        return contents.error;
    ParsedState parsed = parseStateText(contents.text);
    if (!parsed.mappings)
        return path_ + ":" + std::to_string(parsed.line) + ": " + parsed.reason;
    for (const StoredMapping& stored : *parsed.mappings) {
        // Written by an earlier version, which kept unresolved addresses.
        if (stored.macLength == 0)
            continue;
        auto entry = std::make_unique<MappingEntry>();
        entry->address = stored.address;
        entry->mac = stored.mac;
        entry->macLength = stored.macLength;
        entry->type = stored.type;
        entry->lastChanged = stored.lastChanged;
        // Interface numbers change between boots; names are what lasts.
        const auto& adapters = watcher.networkConfig.adapters;
        const auto adapter = std::ranges::find_if(
            adapters, [&](const auto& item) { return item.second.info.Description == stored.interface; });
        entry->adapterIndex = adapter == adapters.end() ? 0 : adapter->first;
        // Known from an earlier run, so not a new finding, and not in the
        // system's table until a refresh finds it there.
        entry->inSystemCache = false;
        entry->seen = false;
        watcher.lookupVendor(*entry);
        firstSeen_[stored.address] = stored.firstSeen;
        watcher.programCache[stored.address] = std::move(entry);
    }
    written_ = contents.text;
    return {};
}

std::vector<StoredMapping> StateFile::snapshot(const CMappingWatcher& watcher) const
{
    std::vector<StoredMapping> mappings;
    mappings.reserve(watcher.programCache.size());
    for (const auto& [address, entry] : watcher.programCache) {
        // An address that never resolved maps nothing worth keeping.
        if (entry->macLength == 0)
            continue;
        const auto known = firstSeen_.find(address);
        mappings.push_back({ address, entry->mac, entry->macLength,
            watcher.networkConfig.adapters.contains(entry->adapterIndex)
                ? watcher.networkConfig.adapterName(entry->adapterIndex)
                : std::string(),
            entry->type, known != firstSeen_.end() ? known->second : oldestTime(*entry),
            entry->lastChanged });
    }
    return mappings;
}

void StateFile::saveIfDue(const CMappingWatcher& watcher, std::chrono::steady_clock::time_point now)
{
    if (savedGeneration_ == watcher.generation() || now < nextWrite_)
        return;
    nextWrite_ = now + std::chrono::seconds(1);
    save(watcher);
}

std::optional<std::chrono::steady_clock::time_point> StateFile::dueAt(const CMappingWatcher& watcher) const
{
    if (savedGeneration_ == watcher.generation())
        return std::nullopt;
    return nextWrite_;
}

bool StateFile::save(const CMappingWatcher& watcher)
{
    std::string text = stateText(snapshot(watcher));
    if (text == written_) {
        savedGeneration_ = watcher.generation();
        return true;
    }
    const std::string error = replaceFile(path_, text);
    if (!error.empty()) {
        // Said when writing starts to fail, not at every attempt after.
        if (!failing_)
            std::fprintf(err_, "tevra-watch: %s\n", error.c_str());
        failing_ = true;
        return false;
    }
    failing_ = false;
    written_ = std::move(text);
    savedGeneration_ = watcher.generation();
    return true;
}

}  // namespace tevra::cli
