#pragma once

#include "cli/WatchOptions.h"
#include "engine/LocalTime.h"
#include "engine/MappingWatcher.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tevra::cli {

// The engine set up as the window sets it up, with every alert printed as the
// window's output list shows it: "<serial> - <alert line>". The lines of one
// pass go out together when it ends: one write, not one per line in a flood.
class ConsoleWatch {
public:
    ConsoleWatch(std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, Clock clock = systemClock);

    // One refresh of the engine: 0, or -1 when the ARP table could not be read.
    std::int32_t refresh();
    // Follows the host's change feed when it has one: the descriptor to wait
    // on, or -1 when only the periodic refresh sees changes.
    int openChangeFeed();
    // Applies the changes the feed brought.
    void followChanges();
    // Why the last refresh failed.
    std::string lastError();
    // The mapping list as text: headings, an empty line, one row per address in
    // ascending numeric order, the same cells the window's list shows.
    std::string tableText() const;

private:
    static void printAlert(std::unique_ptr<WatchEvent> event, void* out);

    CMappingWatcher watcher_;
    std::FILE* out_;
};

// Everything after the arguments were read; returns the exit status.
int runWatch(
    const WatchOptions& options, std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, std::FILE* err);

}  // namespace tevra::cli
