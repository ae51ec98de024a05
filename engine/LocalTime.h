// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tevra {

// The engine asks an injected clock so that tests can fix the time an alert
// shows. Lines and entries show whole seconds; an event keeps the clock's
// reading as it was, milliseconds included.
using Clock = std::function<std::chrono::system_clock::time_point()>;
std::chrono::system_clock::time_point systemClock();
// A clock that always reads `secondsSinceEpoch`.
Clock fixedClock(std::int64_t secondsSinceEpoch);
// Whole seconds since 1970-01-01 00:00 UTC, rounded down.
std::int64_t secondsSinceEpoch(std::chrono::system_clock::time_point time);

// Local time of day as "%H:%M:%S"; empty when the time cannot be converted.
std::string timeOfDayText(std::int64_t secondsSinceEpoch);

}  // namespace tevra
