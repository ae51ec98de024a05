// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Windows' C runtime names these calls its own way.
namespace tevra::test {

// Sets an environment variable, or with nothing removes it.
inline void setVariable(const char* name, const std::optional<std::string>& value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
#endif
}

// The zone local time is shown in, from here on, as TZ names it; Windows' C
// runtime reads the POSIX form without daylight-saving rules ("UTC0", "UTC-2").
inline void setTimeZone(const char* zone)
{
    setVariable("TZ", zone);
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

}  // namespace tevra::test
