// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MappingWatcher.h"
#include "engine/WatchEvent.h"

#include <memory>
#include <string>
#include <vector>

namespace tevra::test {

// Keeps every event `watcher` raises in `events`, which outlives the watcher's use of it.
inline void collectEvents(CMappingWatcher& watcher, std::vector<std::unique_ptr<WatchEvent>>& events)
{
    watcher.sink.userData = &events;
    watcher.sink.callback = [](std::unique_ptr<WatchEvent> event, void* userData) {
        static_cast<std::vector<std::unique_ptr<WatchEvent>>*>(userData)->push_back(std::move(event));
    };
}

// The same, keeping only each event's line.
inline void collectAlertLines(CMappingWatcher& watcher, std::vector<std::string>& lines)
{
    watcher.sink.userData = &lines;
    watcher.sink.callback = [](std::unique_ptr<WatchEvent> event, void* userData) {
        static_cast<std::vector<std::string>*>(userData)->push_back(event->text);
    };
}

}  // namespace tevra::test
