// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tevra::hostnet {

// The order every IpHelper, real or fake, hands out its ARP table in: the
// address as its dotted form reads (10.0.0.9 before 10.0.0.10), then the
// interface. Rows compare as their keys do.
constexpr std::uint64_t neighbourOrderKey(std::uint32_t address, std::uint32_t interfaceIndex)
{
    return std::uint64_t { netToHost(address) } << 32 | interfaceIndex;
}

constexpr bool neighbourRowBefore(const MibIpNetRow& a, const MibIpNetRow& b)
{
    return neighbourOrderKey(a.dwAddr, a.dwIndex) < neighbourOrderKey(b.dwAddr, b.dwIndex);
}

inline void sortNeighbourRows(std::vector<MibIpNetRow>& rows)
{
    std::ranges::sort(rows, neighbourRowBefore);
}

}  // namespace tevra::hostnet
