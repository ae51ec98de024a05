// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

namespace tevra::cli {

// Local time in ISO 8601 with milliseconds and the zone's offset,
// "2024-05-01T09:15:00.123+02:00"; UTC with "Z" when local time is unknown.
std::string isoLocalTime(std::chrono::system_clock::time_point time);

}  // namespace tevra::cli
