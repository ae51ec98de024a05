// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tevra::test {

// The IPv6 neighbour and route tables of a namespace as rtnetlink gives them,
// attribute by attribute, so a test can say what the kernel itself did
// without going through the code under test.

struct Neighbour6 {
    std::string address;  // as inet_ntop writes it
    int interfaceIndex = 0;
    std::string mac;  // "02:00:00:00:00:01"; empty without NDA_LLADDR
    std::uint16_t state = 0;  // ndm_state: NUD_REACHABLE, NUD_STALE, ...
    std::uint8_t flags = 0;  // ndm_flags: NTF_ROUTER, ...

    bool router() const;
};

struct Route6 {
    std::string destination;  // "::" for a default route
    int length = 0;
    std::string gateway;  // empty without RTA_GATEWAY
    int interfaceIndex = 0;
    std::uint8_t protocol = 0;  // rtm_protocol: RTPROT_RA, RTPROT_KERNEL, ...
    std::uint32_t metric = 0;  // RTA_PRIORITY
    std::uint32_t routeFlags = 0;  // rtm_flags
    bool hasRtaExpires = false;
    std::optional<std::int32_t>
        cacheExpires;  // rta_expires of RTA_CACHEINFO, in clock ticks; absent without it
    std::optional<std::uint8_t> preference;  // RTA_PREF
};

// One whole dump of the main table; nothing when it failed.
std::optional<std::vector<Neighbour6>> readNeighbours6(const std::string& namespaceName);
std::optional<std::vector<Route6>> readRoutes6(const std::string& namespaceName);

// "REACHABLE", "STALE", "REACHABLE|..." for the bits of ndm_state.
std::string neighbourStateText(std::uint16_t state);

// A short pause between two looks at a table.
void pollPause();

// Whether `condition` held before `timeout` passed, trying every few
// milliseconds: the kernel does what a frame asks a little later.
template<typename Condition> bool eventually(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollPause();
    }
}

// One neighbour notification: RTM_NEWNEIGH or RTM_DELNEIGH and what it said.
struct NeighbourEvent {
    std::uint16_t type = 0;
    Neighbour6 neighbour;
};

// Listens to the IPv6 neighbour notifications of a namespace from
// construction on, so nothing that happens afterwards is missed.
class NeighbourListener {
public:
    explicit NeighbourListener(const std::string& namespaceName);
    NeighbourListener(const NeighbourListener&) = delete;
    NeighbourListener& operator=(const NeighbourListener&) = delete;
    ~NeighbourListener();

    bool ok() const { return socket_ >= 0; }
    // The notifications that arrive until `window` passes.
    std::vector<NeighbourEvent> collect(std::chrono::milliseconds window);

private:
    int socket_ = -1;
};

}  // namespace tevra::test
