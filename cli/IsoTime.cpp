#include "cli/IsoTime.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tevra::cli {

std::string isoLocalTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    // Floor, not truncation: a time before 1970 must not round its second up.
    const auto seconds = floor<std::chrono::seconds>(time);
    const auto millis = duration_cast<milliseconds>(time - seconds).count();
    const std::time_t whole = system_clock::to_time_t(seconds);
    std::tm parts {};
    const bool local = localtime_r(&whole, &parts) != nullptr;
    if (!local && gmtime_r(&whole, &parts) == nullptr)
        return {};
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    if (length == 0)
        return {};
    std::string result(text, length);
    char tail[32];
    if (!local) {
        std::snprintf(tail, sizeof tail, ".%03dZ", int(millis));
    } else {
        const long offset = parts.tm_gmtoff / 60;
        const long magnitude = std::labs(offset);
        std::snprintf(tail, sizeof tail, ".%03d%c%02ld:%02ld", int(millis), offset < 0 ? '-' : '+',
            magnitude / 60, magnitude % 60);
    }
    return result + tail;
}

}  // namespace tevra::cli
