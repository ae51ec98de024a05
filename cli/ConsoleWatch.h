// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Alert.h"
#include "cli/AlertOutput.h"
#include "cli/WatchOptions.h"
#include "engine/MappingWatcher.h"
#include "hostnet/IpHelper.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tevra::cli {

// The engine set up as the window sets it up, with every alert handed to an
// output once the step that raised it is over: by then the program cache
// holds the entry the alert speaks of, with its interface.
class ConsoleWatch {
public:
    ConsoleWatch(
        std::unique_ptr<hostnet::IpHelper> host, const AlertOutput& output, Clock clock = systemClock);

    // One refresh of the engine, then its alerts to the output: 0, or -1 when
    // the ARP table could not be read.
    std::int32_t refresh();
    // Follows the host's change feed when it has one: the descriptor to wait
    // on, or -1 when only the periodic refresh sees changes.
    int openChangeFeed();
    // Applies the changes the feed brought, then hands their alerts to the output.
    void followChanges();
    // Why the last refresh failed.
    std::string lastError();
    // The mapping list as text: headings, an empty line, one row per address in
    // ascending numeric order, the same cells the window's list shows.
    std::string tableText() const;
    // The same rows as JSON Lines, without headings.
    std::string tableJson() const;

    CMappingWatcher& watcher() { return watcher_; }

private:
    static void collect(std::unique_ptr<WatchEvent> event, void* self);
    void deliverCollected();

    const AlertOutput& output_;
    std::vector<std::unique_ptr<WatchEvent>> collected_;
    CMappingWatcher watcher_;
};

// Everything after the arguments were read; returns the exit status.
int runWatch(
    const WatchOptions& options, std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, std::FILE* err);

}  // namespace tevra::cli
