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

}  // namespace tevra
