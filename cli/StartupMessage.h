// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace tevra::cli {

// What a person who started tevra-watch in a terminal is told once, so that a
// quiet screen reads as "nothing happened yet" rather than "nothing works".
struct WatchSummary {
    std::size_t entries = 0;
    std::vector<std::string> interfaces;
    int intervalMs = 0;
    bool followsNotifications = false;
    int resyncSeconds = 0;  // with notifications: the whole comparison's period
};
std::string startupMessage(const WatchSummary& summary);

// Whether a person is watching: both output streams are a terminal. Not on a
// pipe, a file or the journal.
bool isInteractive(std::FILE* out, std::FILE* err);

}  // namespace tevra::cli
