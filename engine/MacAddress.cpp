#include "engine/MacAddress.h"

#include <cstdio>

namespace tevra {

std::string macText(const std::uint8_t* mac)
{
    char text[18];
    std::snprintf(
        text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string macText(const std::uint8_t* mac, std::uint32_t length)
{
    if (length == 0 || length == 6)
        return macText(mac);
    std::string text;
    for (std::uint32_t i = 0; i < clampedMacLength(length); ++i) {
        char part[4];
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : "-%02X", mac[i]);
        text += part;
    }
    return text;
}

}  // namespace tevra
