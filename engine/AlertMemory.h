// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <optional>
#include <set>
#include <utility>

namespace tevra {

// What the alerts that name an attacker have already said, kept so that none
// is said twice, not even across a restart (a front end saves and restores it).
struct AlertMemory {
    // (address, MAC) pairs a duplicate MAC alert was raised for: an address
    // that moves to that MAC again is a failover or sleep-proxy pair, learned.
    // A link-local address is kept without its zone, so that the pair is
    // known again after a restart that renumbered the interfaces.
    std::set<std::pair<hostnet::IpAddress, MacBytes>> duplicatePairs;
    // (address, interface) pairs said to be outside the interface's subnets.
    std::set<std::pair<hostnet::IpAddress, std::uint32_t>> notInSubnet;
    // The path to the outside the routes last settled on.
    std::optional<hostnet::RouteAnswer> outsideRoute;

    friend bool operator==(const AlertMemory&, const AlertMemory&) = default;
};

// The virtual router MACs of VRRP, CARP (which borrows VRRP's) and HSRP: an
// address moving between the routers that share one is how they fail over.
bool isVirtualRouterMac(const MacBytes& mac);

}  // namespace tevra
