// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "engine/MappingWatcher.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::cli {

// One line of the state file.
struct StoredMapping {
    hostnet::IpAddress address;  // a link-local one's zone is its interface's index, when known
    MacBytes mac {};
    std::uint32_t macLength = 0;
    std::string interface;  // the adapter's name, as getAdaptersInfo gives it
    std::uint32_t type = 0;
    std::int64_t firstSeen = 0;  // seconds since 1970
    std::int64_t lastChanged = 0;
};

// What the alerts that name an attacker have said, with interfaces by name.
struct StoredAlertMemory {
    std::vector<std::pair<hostnet::IpAddress, MacBytes>> duplicatePairs;
    std::vector<std::pair<hostnet::IpAddress, std::string>> notInSubnet;
    std::optional<std::pair<std::string, hostnet::IpAddress>> outsideRoute;  // interface, gateway

    friend bool operator==(const StoredAlertMemory&, const StoredAlertMemory&) = default;
};

// The first line of every state file; a later format gets a new number.
inline constexpr std::string_view kStateHeader = "tevra-watch state 1";

// The file's text: the header, then one TAB-separated line per mapping:
// address, MAC (its bytes, or "-" when it has none), interface, entry type,
// first seen, last changed. Then what the alerts said, a line each, led by
// its kind: "duplicate-mac" address MAC, "not-in-subnet" address interface,
// "default-route" interface gateway.
std::string stateText(const std::vector<StoredMapping>& mappings, const StoredAlertMemory& memory = {});

struct ParsedState {
    std::optional<std::vector<StoredMapping>> mappings;
    StoredAlertMemory memory;
    std::size_t line = 0;  // where it went wrong
    std::string reason;
};
ParsedState parseStateText(std::string_view text);

// The learned table kept in a file across restarts, as arpwatch keeps its
// database: read into the program cache before the first refresh, written
// when it has changed, at most once a second, and at exit.
class StateFile {
public:
    StateFile(std::string path, std::FILE* err);

    // Puts the file's mappings into the program cache. Empty when that worked
    // or there is no file yet, else the message naming the file and line; a
    // file that was refused is never written.
    std::string load(CMappingWatcher& watcher);
    // Writes the table if it changed since the last write and that write is
    // a second old. Costs nothing while nothing changes, whatever the size.
    void saveIfDue(const CMappingWatcher& watcher, std::chrono::steady_clock::time_point now);
    // When saveIfDue has something to write: nothing while nothing changed.
    std::optional<std::chrono::steady_clock::time_point> dueAt(const CMappingWatcher& watcher) const;
    // Writes the table if it changed; false, after saying why, when that failed.
    bool save(const CMappingWatcher& watcher);

private:
    std::vector<StoredMapping> snapshot(const CMappingWatcher& watcher) const;
    StoredAlertMemory memorySnapshot(const CMappingWatcher& watcher) const;
    static void restoreMemory(const StoredAlertMemory& stored, CMappingWatcher& watcher);

    std::string path_;
    std::FILE* err_;
    std::map<hostnet::IpAddress, std::int64_t> firstSeen_;  // of the mappings read from the file
    std::string written_;
    std::chrono::steady_clock::time_point nextWrite_ {};
    // The watcher's generation that was last written; none at first.
    std::optional<std::uint64_t> savedGeneration_;
    bool failing_ = false;
};

}  // namespace tevra::cli
