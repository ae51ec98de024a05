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

// An address written as text ("10.0.0.1", "2001:db8::1", "fe80::1%2"), for
// where the tests need it: the address, or an IPv4 one's network-order value.
class TextAddress {
public:
    explicit TextAddress(const char* text)
        : address_(*parseZonedAddress(text))
    {
    }
    operator hostnet::IpAddress() const { return address_; }
    operator std::uint32_t() const { return address_.v4Value(); }

private:
    hostnet::IpAddress address_;
};

inline TextAddress ip(const char* text)
{
    return TextAddress(text);
}

// A neighbour row; an empty MAC text gives a row without a hardware address.
// A link-local IPv6 address without a zone is on the row's interface.
inline hostnet::MibIpNetRow arpRow(
    const char* text, const char* mac, std::uint32_t index = 2, std::uint32_t type = hostnet::kNetTypeDynamic)
{
    hostnet::MibIpNetRow r;
    r.address = ip(text);
    if (r.address.isLinkLocal() && r.address.zone() == 0)
        r.address = hostnet::IpAddress::v6(r.address.v6Bytes(), index);
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
