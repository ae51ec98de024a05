#pragma once

#include <cstdint>
#include <memory>
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

// One alert: its kind, the complete time-stamped line and its running number.
struct WatchEvent {
    std::int32_t kind = 0;
    std::string text;
    std::uint32_t serial = 0;

    // Takes the next number of the one process-wide counter; the first is 1.
    WatchEvent();

    // Builds the line for `kind` at local time `now`. Addresses are in network
    // byte order; a MAC points to its bytes (at least six, or as many as its
    // length says when that is more), or is null. Always 0.
    std::int32_t compose(std::uint32_t firstAddress, std::uint32_t secondAddress,
        const std::uint8_t* firstMac, const std::uint8_t* secondMac, std::int32_t kind, std::int64_t now,
        std::uint32_t firstMacLength = 6, std::uint32_t secondMacLength = 6);
};

// The engine's link to its front end. The callback owns the event from the call on.
struct EventSink {
    void* userData = nullptr;
    void (*callback)(std::unique_ptr<WatchEvent> event, void* userData) = nullptr;
};

}  // namespace tevra
