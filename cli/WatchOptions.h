// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/IgnoreList.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tevra::cli {

// What tevra-watch was asked to do.
struct WatchOptions {
    enum class Mode { Watch, Help, Version };

    Mode mode = Mode::Watch;
    int intervalMs = 1500;
    bool once = false;
    bool table = false;  // only with `once`
    bool json = false;  // alerts and the table as JSON Lines
    bool discover = false;  // one discovery before the first read
    std::string statePath;  // empty: the learned table is not kept
    IgnoreList ignore;
    std::string execProgram;  // empty: no hook
    int execTimeoutSeconds = 30;  // then the hook is stopped
    int maxAddresses = 65536;  // the most addresses the learned table keeps
    int resyncSeconds = 60;  // with change notifications: the whole comparison's period
    // The address families watched (-4, -6); both unless one is asked for.
    bool ipv4 = true;
    bool ipv6 = true;
};

inline constexpr int kMinIntervalMs = 100;
inline constexpr int kMaxIntervalMs = 60000;
inline constexpr int kMaxSeconds = 86400;  // of --exec-timeout and --resync
inline constexpr int kMaxMaxAddresses = 16777216;

// The options, or the reason the command line is wrong.
struct ParsedArguments {
    std::optional<WatchOptions> options;
    std::string error;
};

// Reads the arguments that follow the program name.
ParsedArguments parseWatchArguments(std::span<const std::string_view> arguments);

// The usage text, ending in a newline.
std::string usageText();

}  // namespace tevra::cli
