// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the tests share: a fixed clock value and ARP rows written as text.

#include "engine/Address.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <cstdio>

namespace tevra::test {

// 2026-12-10 14:03:09 UTC; the test programs run with TZ=UTC.
inline constexpr std::int64_t kNow = 1796911389;

inline std::uint32_t ip(const char* dotted)
{
    return *parseDottedQuad(dotted);
}

// An ARP row; an empty MAC text gives a row without a hardware address.
inline hostnet::MibIpNetRow arpRow(const char* dotted, const char* mac, std::uint32_t index = 2,
    std::uint32_t type = hostnet::kNetTypeDynamic)
{
    hostnet::MibIpNetRow r;
    r.dwAddr = ip(dotted);
    r.dwIndex = index;
    r.dwType = type;
    unsigned b[6];
    if (std::sscanf(mac, "%x-%x-%x-%x-%x-%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) == 6) {
        r.dwPhysAddrLen = 6;
        for (int i = 0; i < 6; ++i)
            r.bPhysAddr[std::size_t(i)] = std::uint8_t(b[i]);
    }
    return r;
}

}  // namespace tevra::test
