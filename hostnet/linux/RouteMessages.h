#pragma once

#include "hostnet/IpHelper.h"

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
    std::uint32_t address = 0;  // network byte order
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
};
bool appendLink(nlmsghdr& message, std::vector<LinkRecord>& links);

// RTM_NEWADDR: IPv4 interface addresses with their masks.
bool appendAddressRow(nlmsghdr& message, std::vector<MibIpAddrRow>& rows);

}  // namespace tevra::hostnet
