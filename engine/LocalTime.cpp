// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LocalTime.h"

#include <chrono>

#include <ctime>
#include <limits>
#include <optional>

namespace tevra {

// Not std::time: Windows' C runtime reads the time zone on every call of it,
// which a first reading of a large table makes once per entry.
std::chrono::system_clock::time_point systemClock()
{
    return std::chrono::system_clock::now();
}

Clock fixedClock(std::int64_t secondsSinceEpoch)
{
    const std::chrono::system_clock::time_point time { std::chrono::seconds(secondsSinceEpoch) };
    return [time] { return time; };
}

std::int64_t secondsSinceEpoch(std::chrono::system_clock::time_point time)
{
    return std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count();
}

std::string timeOfDayText(std::int64_t secondsSinceEpoch)
{
    // localtime looks at the system's time zone file on every call; a flood of
    // alerts, or a list of entries made together, needs the text of one second
    // many times over. A new time zone still shows from the next second on.
    static thread_local std::optional<std::int64_t> lastSeconds;
    static thread_local std::string lastText;
    if (lastSeconds == secondsSinceEpoch)
        return lastText;
    if (secondsSinceEpoch > std::numeric_limits<std::time_t>::max()
        || secondsSinceEpoch < std::numeric_limits<std::time_t>::min())
        return {};
    const std::time_t time = std::time_t(secondsSinceEpoch);
    // The program runs on one thread; localtime's shared buffer is read at once.
    const std::tm* local = std::localtime(&time);
    if (local == nullptr)
        return {};
    char text[128];
    if (std::strftime(text, sizeof text, "%H:%M:%S", local) == 0)
        return {};
    lastSeconds = secondsSinceEpoch;
    lastText = text;
    return lastText;
}

}  // namespace tevra
