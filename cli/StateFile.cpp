// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StateFile.h"

#include "cli/AtomicFile.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"

#include <algorithm>
#include <array>
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
    const auto address = parseAddress(fields[0]);
    const auto mac = parseMacField(fields[1]);
    const auto type = parseNumber<std::uint32_t>(fields[3]);
    const auto firstSeen = parseNumber<std::int64_t>(fields[4]);
    const auto lastChanged = parseNumber<std::int64_t>(fields[5]);
    const std::pair<bool, const char*> checks[] = {
        { address.has_value(), "not an IPv4 address, nor an IPv6 one" },
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

// The kinds of the lines that keep what an alert said.
constexpr std::string_view kDuplicateLine = "duplicate-mac";
constexpr std::string_view kNotInSubnetLine = "not-in-subnet";
constexpr std::string_view kRouteLine = "default-route";

// One line of what an alert said into `memory`, or why it is not one.
bool parseMemoryLine(std::string_view line, StoredAlertMemory& memory, std::string& reason)
{
    const auto fields = split(line, '\t');
    if (fields.size() != 3) {
        reason = "expected 3 TAB-separated fields, found " + std::to_string(fields.size());
        return false;
    }
    if (fields[0] == kRouteLine) {
        const auto gateway = parseAddress(fields[2]);
        if (!gateway || memory.outsideRoute) {
            reason = gateway ? "default route listed twice" : "not an IPv4 address, nor an IPv6 one";
            return false;
        }
        memory.outsideRoute = std::pair { std::string(fields[1]), *gateway };
        return true;
    }
    const auto address = parseAddress(fields[1]);
    if (!address) {
        reason = "not an IPv4 address, nor an IPv6 one";
        return false;
    }
    if (fields[0] == kNotInSubnetLine) {
        memory.notInSubnet.emplace_back(*address, std::string(fields[2]));
        return true;
    }
    const auto mac = parseMacField(fields[2]);
    if (!mac || mac->second != 6) {
        reason = "not a MAC address";
        return false;
    }
    memory.duplicatePairs.emplace_back(*address, mac->first);
    return true;
}

bool isMemoryLine(std::string_view line)
{
    return std::ranges::any_of(
        std::array { kDuplicateLine, kNotInSubnetLine, kRouteLine }, [line](std::string_view kind) {
            return line.starts_with(kind) && line.substr(kind.size()).starts_with('\t');
        });
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

std::string stateText(const std::vector<StoredMapping>& mappings, const StoredAlertMemory& memory)
{
    std::string text(kStateHeader);
    text += '\n';
    for (const StoredMapping& mapping : mappings) {
        text += addressText(mapping.address) + '\t' + macField(mapping.mac, mapping.macLength) + '\t'
            + oneField(mapping.interface) + '\t' + std::to_string(mapping.type) + '\t'
            + std::to_string(mapping.firstSeen) + '\t' + std::to_string(mapping.lastChanged) + '\n';
    }
    for (const auto& [address, mac] : memory.duplicatePairs)
        text += std::string(kDuplicateLine) + '\t' + addressText(address) + '\t' + macText(mac.data()) + '\n';
    for (const auto& [address, interface] : memory.notInSubnet)
        text += std::string(kNotInSubnetLine) + '\t' + addressText(address) + '\t' + oneField(interface)
            + '\n';
    if (memory.outsideRoute)
        text += std::string(kRouteLine) + '\t' + oneField(memory.outsideRoute->first) + '\t'
            + addressText(memory.outsideRoute->second) + '\n';
    return text;
}

ParsedState parseStateText(std::string_view text)
{
    // Written whole by us, so a last line without its line end means the
    // file was cut short by something else.
    if (text.empty())
        return { std::nullopt, {}, 1, "empty file, expected \"" + std::string(kStateHeader) + "\"" };
    if (text.back() != '\n')
        return { std::nullopt, {}, std::size_t(std::ranges::count(text, '\n')) + 1,
            "the file ends in the middle of a line" };
    auto lines = split(text.substr(0, text.size() - 1), '\n');
    if (lines.front() != kStateHeader)
        return { std::nullopt, {}, 1, "expected \"" + std::string(kStateHeader) + "\"" };
    std::vector<StoredMapping> mappings;
    StoredAlertMemory memory;
    std::set<std::pair<hostnet::IpAddress, std::string>> seen;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string reason;
        if (isMemoryLine(lines[i])) {
            if (!parseMemoryLine(lines[i], memory, reason))
                return { std::nullopt, {}, i + 1, reason };
            continue;
        }
        auto mapping = parseMapping(lines[i], reason);
        // A link-local address is one per interface.
        if (mapping
            && !seen.insert({ mapping->address, mapping->address.isLinkLocal() ? mapping->interface : "" })
                    .second)
            reason = "address listed twice";
        if (!reason.empty())
            return { std::nullopt, {}, i + 1, reason };
        mappings.push_back(std::move(*mapping));
    }
    return { std::move(mappings), std::move(memory), 0, {} };
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
        entry->mac = stored.mac;
        entry->macLength = stored.macLength;
        entry->type = stored.type;
        entry->lastChanged = stored.lastChanged;
        // Interface numbers change between boots; names are what lasts.
        const auto& adapters = watcher.networkConfig.adapters;
        const auto adapter = std::ranges::find_if(
            adapters, [&](const auto& item) { return item.second.info.Description == stored.interface; });
        entry->adapterIndex = adapter == adapters.end() ? 0 : adapter->first;
        // A link-local address is known by its interface: one whose interface
        // is gone cannot be told from the same address elsewhere.
        if (stored.address.isLinkLocal() && adapter == adapters.end())
            continue;
        entry->address = stored.address.isV4()
            ? stored.address
            : hostnet::IpAddress::v6(stored.address.v6Bytes(), entry->adapterIndex);
        // Known from an earlier run, so not a new finding, and not in the
        // system's table until a refresh finds it there.
        entry->inSystemCache = false;
        entry->seen = false;
        watcher.lookupVendor(*entry);
        const hostnet::IpAddress key = entry->address;
        firstSeen_[key] = stored.firstSeen;
        watcher.programCache[key] = std::move(entry);
    }
    restoreMemory(parsed.memory, watcher);
    written_ = contents.text;
    return {};
}

void StateFile::restoreMemory(const StoredAlertMemory& stored, CMappingWatcher& watcher)
{
    // Interface numbers change between boots; names are what lasts.
    const auto indexOf = [&watcher](const std::string& name) -> std::optional<std::uint32_t> {
        for (const auto& [index, adapter] : watcher.networkConfig.adapters)
            if (adapter.info.Description == name)
                return index;
        return std::nullopt;
    };
    AlertMemory& memory = watcher.alertMemory;
    memory.duplicatePairs.insert(stored.duplicatePairs.begin(), stored.duplicatePairs.end());
    for (const auto& [address, name] : stored.notInSubnet)
        if (const auto index = indexOf(name))
            memory.notInSubnet.insert({ address, *index });
    if (stored.outsideRoute)
        if (const auto index = indexOf(stored.outsideRoute->first))
            memory.outsideRoute = hostnet::RouteAnswer { *index,
                stored.outsideRoute->second.isLinkLocal()
                    ? hostnet::IpAddress::v6(stored.outsideRoute->second.v6Bytes(), *index)
                    : stored.outsideRoute->second };
}

StoredAlertMemory StateFile::memorySnapshot(const CMappingWatcher& watcher) const
{
    const NetworkConfig& config = watcher.networkConfig;
    const AlertMemory& memory = watcher.alertMemory;
    StoredAlertMemory stored;
    stored.duplicatePairs.assign(memory.duplicatePairs.begin(), memory.duplicatePairs.end());
    for (const auto& [address, index] : memory.notInSubnet)
        if (config.adapters.contains(index))
            stored.notInSubnet.emplace_back(address, config.adapterName(index));
    if (memory.outsideRoute && config.adapters.contains(memory.outsideRoute->interfaceIndex))
        stored.outsideRoute = std::pair { config.adapterName(memory.outsideRoute->interfaceIndex),
            memory.outsideRoute->gateway };
    return stored;
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
    std::string text = stateText(snapshot(watcher), memorySnapshot(watcher));
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
