// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/IsoTime.h"

#include <cstdio>
#include <ctime>

namespace tevra::cli {

std::string isoLocalTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    // Floor, not truncation: a time before 1970 must not round its second up.
    const auto whole = floor<seconds>(time);
    const auto millis = duration_cast<milliseconds>(time - whole).count();
    const std::time_t since1970 = system_clock::to_time_t(whole);
    // The program runs on one thread; localtime's shared buffer is read at once.
    const std::tm* local = std::localtime(&since1970);
    // The zone's offset is how far its wall clock is ahead of UTC; without
    // a local time (Windows has none before 1970) the time is given in UTC.
    sys_seconds wall = whole;
    if (local != nullptr)
        wall = sys_days(year(local->tm_year + 1900) / (local->tm_mon + 1) / local->tm_mday)
            + hours(local->tm_hour) + minutes(local->tm_min) + seconds(local->tm_sec);
    const year_month_day date(floor<days>(wall));
    const hh_mm_ss clock(wall - floor<days>(wall));
    char text[96];
    int length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d", int(date.year()),
        unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
        int(clock.minutes().count()), int(clock.seconds().count()), int(millis));
    if (local == nullptr)
        return std::string(text, std::size_t(length)) + "Z";
    const long offset = long(duration_cast<minutes>(wall - whole).count());
    const long magnitude = offset < 0 ? -offset : offset;
    length += std::snprintf(text + length, sizeof text - std::size_t(length), "%c%02ld:%02ld",
        offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return std::string(text, std::size_t(length));
}

}  // namespace tevra::cli
