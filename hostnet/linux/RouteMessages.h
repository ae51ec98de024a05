// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct nlmsghdr;

namespace tevra::hostnet {

// Readers of the kernel's routing messages. Each appends what a message holds
// for its table and returns false only for a message it cannot read; messages
// that do not belong in the table (another family, a neighbour entry that is
// not an ARP entry, the loopback link) are passed over.

// A neighbour message as a change of the ARP table: the entry it is about and,
// while the entry is in the table as `ip -4 neigh` lists it, its row.
struct NeighbourNotice {
    IpAddress address;
    std::uint32_t interfaceIndex = 0;
    std::optional<MibIpNetRow> row;  // none: deleted, or now NOARP/NONE
};
// RTM_NEWNEIGH or RTM_DELNEIGH; none for another family or an unreadable message.
std::optional<NeighbourNotice> readNeighbourNotice(nlmsghdr& message);

// Whether a message is an IPv4 neighbour's, readable or not.
bool isIpv4NeighbourMessage(const nlmsghdr& message);

// RTM_NEWNEIGH: IPv4 neighbours except NOARP and NONE, as `ip -4 neigh` lists them.
bool appendNeighbourRow(nlmsghdr& message, std::vector<MibIpNetRow>& rows);
// The row type of a neighbour state (NUD_*).
std::uint32_t neighbourType(std::uint16_t state);

// RTM_NEWLINK: every link but loopback, with its kind when it is a virtual one.
struct LinkRecord {
    std::uint32_t index = 0;
    std::string name;
    std::string kind;  // "veth", "bridge", ...; empty for hardware
    std::uint32_t macLength = 0;
    std::array<std::uint8_t, 8> mac {};
};
bool appendLink(nlmsghdr& message, std::vector<LinkRecord>& links);

// RTM_NEWADDR: IPv4 interface addresses with their masks.
bool appendAddressRow(nlmsghdr& message, std::vector<MibIpAddrRow>& rows);

// RTM_NEWROUTE: the main table's IPv4 default routes, a row per next hop.
bool appendDefaultRoute(nlmsghdr& message, std::vector<DefaultRouteRow>& rows);

// The answer to a route lookup (RTM_NEWROUTE): none for a route that does not
// send (unreachable, blackhole, prohibit) or an unreadable message.
std::optional<RouteAnswer> readRouteAnswer(nlmsghdr& message);

// Whether a message tells of a change of links, addresses or routes.
bool isConfigurationMessage(const nlmsghdr& message);

}  // namespace tevra::hostnet
