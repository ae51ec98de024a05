// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <linux/if_packet.h>

#include <array>
#include <cstdint>
#include <string>

namespace tevra::test {

using Mac = std::array<std::uint8_t, 6>;

// "02:00:00:00:00:01" as bytes; all zero when it is not a MAC.
Mac parseMac(const std::string& text);

// A packet socket of `type` (SOCK_RAW: whole frames, SOCK_DGRAM: payloads)
// for `protocol`, made inside the namespace and bound to its interface, which
// `link` then names for sendto. -1 when it could not be made.
int packetSocket(const std::string& namespaceName, const std::string& interfaceName, int type,
    std::uint16_t protocol, sockaddr_ll& link);

}  // namespace tevra::test
