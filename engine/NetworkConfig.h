#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tevra {

// The host's adapters with their first IPv4 address, taken once when the
// engine is built and kept for the whole run.
class NetworkConfig {
public:
    struct AdapterRecord {
        hostnet::IpAdapterInfo info;
        // At most one row: the first address row of this adapter, by its index.
        std::map<std::uint32_t, hostnet::MibIpAddrRow> addresses;
    };

    explicit NetworkConfig(hostnet::IpHelper& ipHelper);

    void clear();
    std::int32_t loadAdapters(hostnet::IpHelper& ipHelper);
    std::int32_t loadAddresses(hostnet::IpHelper& ipHelper);

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
};

// The subnet's directed broadcast: the address with every host bit set.
inline std::uint32_t directedBroadcast(const hostnet::MibIpAddrRow& row)
{
    return row.dwAddr | ~row.dwMask;
}

}  // namespace tevra
