// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "hostnet/IpAddress.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tevra {

enum EventKind : std::int32_t {
    MappingChanged = 0,
    DuplicateMac = 1,
    BroadcastMac = 2,
    MulticastMac = 3,
    DefaultRouteChanged = 4,
    NotInSubnet = 5,
};

// What an alert line was composed from. Front ends that report alerts as
// records (JSON, the journal, a hook's arguments) read these instead of
// taking the line apart again.
struct EventSubject {
    hostnet::IpAddress firstAddress;
    hostnet::IpAddress secondAddress;
    std::optional<MacBytes> firstMac;  // six bytes, the rest zero
    std::optional<MacBytes> secondMac;
    // For a changed IPv6 neighbour: whether it says it is a router now, and
    // whether it said so before. None for IPv4, which has no such flag.
    std::optional<bool> router;
    std::optional<bool> wasRouter;
};

// One alert: its kind, the complete time-stamped line and its running number.
struct WatchEvent {
    std::int32_t kind = 0;
    std::string text;
    std::uint32_t serial = 0;
    EventSubject subject;
    // When the engine raised it, to the clock's own precision; the line shows
    // its whole seconds.
    std::chrono::system_clock::time_point raisedAt {};

    // Takes the next number of the one process-wide counter; the first is 1.
    WatchEvent();

    // Builds the line for `kind` at local time `now`. A MAC points to its bytes
    // (at least six, or as many as its length says when that is more), or is
    // null. Always 0.
    std::int32_t compose(const hostnet::IpAddress& firstAddress, const hostnet::IpAddress& secondAddress,
        const std::uint8_t* firstMac, const std::uint8_t* secondMac, std::int32_t kind, std::int64_t now,
        std::uint32_t firstMacLength = 6, std::uint32_t secondMacLength = 6);
    // For a changed IPv6 neighbour, after compose: its router flags now and
    // before. A neighbour that stopped saying it is a router is what a forged
    // advertisement for the gateway leaves, so the line says that too.
    void setRouterFlags(bool router, bool wasRouter);
};

// The engine's link to its front end. The callback owns the event from the call on.
struct EventSink {
    void* userData = nullptr;
    void (*callback)(std::unique_ptr<WatchEvent> event, void* userData) = nullptr;
};

// "serial - text": the numbered line an event gives in the output list, the
// console and every export.
std::string alertLine(const WatchEvent& event);

}  // namespace tevra
