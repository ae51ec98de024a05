#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tevra {

// Seconds since 1970-01-01 00:00 UTC. The engine asks an injected clock so that
// tests can fix the time an alert line shows.
using Clock = std::function<std::int64_t()>;
std::int64_t systemClock();

// Local time of day as "%H:%M:%S"; empty when the time cannot be converted.
std::string timeOfDayText(std::int64_t secondsSinceEpoch);

}  // namespace tevra
