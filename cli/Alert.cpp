// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Alert.h"

#include <algorithm>
#include <array>

namespace tevra::cli {
namespace {

// Which composed MAC is the address's MAC now, and which the one it had.
enum class MacPart { None, First, Second };

struct KindRecord {
    const char* name;
    MacPart mac;
    MacPart previousMac;
};

const std::array<KindRecord, 6> kKindRecords { {
    { "mapping-changed", MacPart::Second, MacPart::First },
    // The second MAC is the one the address had before it took the shared one.
    { "duplicate-mac", MacPart::First, MacPart::Second },
    { "broadcast-mac", MacPart::First, MacPart::None },
    { "multicast-mac", MacPart::First, MacPart::None },
    { "default-route-changed", MacPart::First, MacPart::None },
    { "not-in-subnet", MacPart::None, MacPart::None },
} };

const KindRecord* kindRecord(std::int32_t kind)
{
    return kind >= 0 && std::size_t(kind) < kKindRecords.size() ? &kKindRecords[std::size_t(kind)] : nullptr;
}

std::optional<MacBytes> pick(const EventSubject& subject, MacPart part)
{
    if (part == MacPart::First)
        return subject.firstMac;
    if (part == MacPart::Second)
        return subject.secondMac;
    return std::nullopt;
}

// A route's alert names its adapter by the adapter's own MAC.
std::optional<std::string> adapterWithMac(const NetworkConfig& config, const std::optional<MacBytes>& mac)
{
    if (!mac)
        return std::nullopt;
    for (const auto& [index, adapter] : config.adapters)
        if (adapter.info.AddressLength == 6
            && std::equal(mac->begin(), mac->begin() + 6, adapter.info.Address.begin()))
            return adapter.info.Description;
    return std::nullopt;
}

}  // namespace

const char* alertKindName(std::int32_t kind)
{
    const KindRecord* record = kindRecord(kind);
    return record != nullptr ? record->name : "unknown";
}

Alert makeAlert(const WatchEvent& event, CMappingWatcher& watcher)
{
    Alert alert;
    alert.serial = event.serial;
    alert.kind = event.kind;
    alert.line = alertLine(event);
    alert.time = event.raisedAt;
    alert.address = event.subject.firstAddress;
    alert.router = event.subject.router;
    alert.wasRouter = event.subject.wasRouter;
    if (const KindRecord* record = kindRecord(event.kind)) {
        alert.mac = pick(event.subject, record->mac);
        alert.previousMac = pick(event.subject, record->previousMac);
    }
    // The engine's own lookup, so the vendor is the one the mapping list shows.
    if (alert.mac)
        alert.vendor = watcher.vendorOf(*alert.mac);
    if (event.kind == DuplicateMac)
        alert.secondAddress = event.subject.secondAddress;
    if (event.kind == DefaultRouteChanged) {
        alert.previousGateway = event.subject.firstAddress;
        alert.gateway = event.subject.secondAddress;
        alert.interface = adapterWithMac(watcher.networkConfig, alert.mac);
        return alert;
    }
    const auto entry = watcher.programCache.find(alert.address);
    if (entry != watcher.programCache.end()) {
        const auto adapter = watcher.networkConfig.adapters.find(entry->second->adapterIndex);
        if (adapter != watcher.networkConfig.adapters.end())
            alert.interface = adapter->second.info.Description;
    }
    return alert;
}

}  // namespace tevra::cli
