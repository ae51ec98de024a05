// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "engine/MappingWatcher.h"
#include "engine/WatchEvent.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tevra::cli {

// One alert with what it is about, as every output reports it.
struct Alert {
    std::uint32_t serial = 0;
    std::int32_t kind = 0;
    std::string line;  // as the text output prints it, without the line end
    std::chrono::system_clock::time_point time;
    hostnet::IpAddress address;
    std::optional<MacBytes> mac;  // the MAC the address has now
    std::optional<MacBytes> previousMac;  // for a changed mapping, the one it had
    std::optional<std::string> vendor;
    std::optional<std::string> interface;
    // The other address of a duplicate MAC: the one already holding it.
    std::optional<hostnet::IpAddress> secondAddress;
    // A changed default route's gateway now, and the one before (then `address` too).
    std::optional<hostnet::IpAddress> gateway;
    std::optional<hostnet::IpAddress> previousGateway;
    // A changed IPv6 neighbour's router flag now and before; none for IPv4.
    std::optional<bool> router;
    std::optional<bool> wasRouter;
};

// "mapping-changed", "broadcast-mac", ...; "unknown" for a kind without a name.
const char* alertKindName(std::int32_t kind);

// The alert of `event`, at the time it was raised, with the vendor and the interface the
// watcher knows for it. Called once the event's step is over, so that the
// address's entry in the program cache is the one the event speaks of.
Alert makeAlert(const WatchEvent& event, CMappingWatcher& watcher);

}  // namespace tevra::cli
