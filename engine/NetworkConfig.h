// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tevra {

// The host's adapters with every IPv4 address and their default gateways,
// taken when the engine is built and read again whenever the host says they
// changed (or, where it says nothing, at every refresh).
class NetworkConfig {
public:
    struct AdapterRecord {
        hostnet::IpAdapterInfo info;
        // Every address row of this adapter, in the platform's order (its primary first).
        std::vector<hostnet::MibIpAddrRow> addresses;
    };

    // An empty snapshot.
    NetworkConfig() = default;
    explicit NetworkConfig(hostnet::IpHelper& ipHelper);

    void clear();
    std::int32_t loadAdapters(hostnet::IpHelper& ipHelper);
    std::int32_t loadAddresses(hostnet::IpHelper& ipHelper);
    std::int32_t loadGateways(hostnet::IpHelper& ipHelper);
    // Reads it all again; a snapshot whose adapters cannot be read stays as it was.
    std::int32_t reload(hostnet::IpHelper& ipHelper);

    // Whether `address` lies inside the subnet of one of the adapter's addresses.
    bool inAdapterSubnet(std::uint32_t address, std::uint32_t interfaceIndex) const;
    // The adapter's hardware address; none for an unknown adapter or one without.
    const hostnet::IpAdapterInfo* adapterInfo(std::uint32_t interfaceIndex) const;

    // The adapter's description, or "unknown".
    const std::string& adapterName(std::uint32_t interfaceIndex) const;
    // One directed broadcast address (network order) per adapter with an
    // address, in ascending adapter index order.
    std::vector<std::uint32_t> pingTargets() const;
    // The addresses a discovery sweep asks for (network order): every host
    // address of each adapter's subnet but the adapter's own, in adapter index
    // order; of a subnet larger than /22 (which a sweep paced not to flood the
    // link would take minutes over) only the /24 around the adapter's address.
    std::vector<std::uint32_t> sweepTargets() const;
    bool isDirectedBroadcast(std::uint32_t address) const;

    std::map<std::uint32_t, AdapterRecord> adapters;
    // The default routes' next hops, lowest metric first.
    std::vector<hostnet::DefaultRouteRow> gateways;
};

// The subnet's directed broadcast: the address with every host bit set.
inline std::uint32_t directedBroadcast(const hostnet::MibIpAddrRow& row)
{
    return row.dwAddr | ~row.dwMask;
}

}  // namespace tevra
