// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tevra::test {

// Neighbour discovery messages built by hand into whole Ethernet frames, so
// that any station can be impersonated: the source MAC and the source IPv6
// address are whatever the test says. Hop limit 255 and the checksum are
// right, so the receiving kernel takes them as if from the link. MACs are
// written "02:00:00:00:00:01", addresses as inet_pton reads them.

// Where a frame goes on the wire of one interface of a namespace.
struct Icmpv6Wire {
    std::string namespaceName;
    std::string interfaceName;
};

// The addressing of one frame.
struct Icmpv6Addressing {
    std::string sourceMac;
    std::string sourceAddress;
    std::string destinationMac = "33:33:00:00:00:01";  // all nodes
    std::string destinationAddress = "ff02::1";
};

// "target is at targetMac". A solicited one must go to a unicast address.
struct NeighbourAdvert {
    std::string target;
    std::string targetMac;  // the target link-layer address option; none when empty
    bool router = false;
    bool solicited = false;
    bool override = true;
};

struct PrefixInformation {
    std::string prefix;  // "2001:db8:77::"
    std::uint8_t length = 64;
    bool onLink = true;
    bool autonomous = true;  // hosts make an address of their own in it
    std::uint32_t validSeconds = 86400;
    std::uint32_t preferredSeconds = 14400;
};

struct RouterAdvert {
    std::uint16_t routerLifetimeSeconds = 1800;  // 0: not a default router
    std::string sourceMac;  // the source link-layer address option; none when empty
    std::optional<PrefixInformation> prefix;
    std::uint8_t curHopLimit = 64;
};

// "who has target?", carrying the sender's MAC: the receiver that owns
// `target` learns the sender as a neighbour.
struct NeighbourSolicit {
    std::string target;
    std::string sourceMac;  // the source link-layer address option; none when empty
};

// Each puts one frame on the wire; false when an address does not parse or
// the frame could not be sent.
bool sendNeighbourAdvert(
    const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const NeighbourAdvert& advert);
bool sendRouterAdvert(const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const RouterAdvert& advert);
bool sendNeighbourSolicit(
    const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const NeighbourSolicit& solicit);

// The link-local address a MAC gives by the modified EUI-64 rule:
// 02:00:00:00:00:07 -> fe80::ff:fe00:7. Empty when it is not a MAC.
std::string linkLocalOf(const std::string& mac);

}  // namespace tevra::test
