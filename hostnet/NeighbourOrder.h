// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tevra::hostnet {

// The order every IpHelper, real or fake, hands out its neighbour table in:
// the address as IpAddress orders it (IPv4 first, as its dotted form reads:
// 10.0.0.9 before 10.0.0.10), then the interface.
constexpr bool neighbourRowBefore(const MibIpNetRow& a, const MibIpNetRow& b)
{
    if (const int order = compare(a.address, b.address); order != 0)
        return order < 0;
    return a.dwIndex < b.dwIndex;
}

inline void sortNeighbourRows(std::vector<MibIpNetRow>& rows)
{
    // A table handed out before is in order already; one pass tells.
    if (std::ranges::is_sorted(rows, neighbourRowBefore))
        return;
    std::ranges::sort(rows, neighbourRowBefore);
}

}  // namespace tevra::hostnet
