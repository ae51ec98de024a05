// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Alert.h"
#include "engine/MappingEntry.h"
#include "engine/NetworkConfig.h"

#include <cstdint>
#include <map>
#include <string>

namespace tevra::cli {

// One alert as a single line of JSON, without the line end.
std::string alertJson(const Alert& alert);

// One mapping list row as a single line of JSON, without the line end.
std::string mappingJson(const MappingEntry& entry, const NetworkConfig& networkConfig);

// The kernel's change notifications lost `count` times since the last such
// line, as one JSON object of kind "notifications-lost".
std::string notificationsLostJson(
    std::uint64_t count, std::chrono::system_clock::time_point time, const std::string& text);

// Alerts that the journal got only as a count, `count` in all and how many
// of each kind by name, as one JSON object of kind "alerts-not-logged".
std::string alertsNotLoggedJson(std::uint64_t count, const std::map<std::string, std::uint64_t>& byKind,
    std::chrono::system_clock::time_point time, const std::string& text);

}  // namespace tevra::cli
