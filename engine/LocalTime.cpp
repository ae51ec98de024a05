#include "engine/LocalTime.h"

#include <ctime>
#include <limits>

namespace tevra {

std::int64_t systemClock()
{
    return std::int64_t(std::time(nullptr));
}

std::string timeOfDayText(std::int64_t secondsSinceEpoch)
{
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
    return text;
}

}  // namespace tevra
