// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AlertMemory.h"
#include "engine/MappingWatcher.h"

#include "engine/Address.h"

#include <algorithm>

namespace tevra {
namespace {

// Past this many MACs with recent moves the expired ones are dropped, and
// past it again all: a flood of forged moves must not grow the memory.
constexpr std::size_t kMostRecentMoveMacs = 65536;
constexpr std::size_t kMostMovesPerMac = 16;
// What the alerts said is kept for this many (address, MAC) and (address,
// interface) pairs each: frames from made-up addresses must not grow it
// without bound. Past it the lowest pair is forgotten, and could be said again.
constexpr std::size_t kMostRemembered = 65536;

template<typename Set, typename Value> void remember(Set& set, const Value& value)
{
    if (set.size() >= kMostRemembered)
        set.erase(set.begin());
    set.insert(value);
}

struct MacRange {
    std::array<std::uint8_t, 5> prefix;
};
// 00-00-5E-00-01-xx (VRRP, and CARP, which uses VRRP's), 00-00-5E-00-02-xx
// (VRRP for IPv6) and 00-00-0C-07-AC-xx (HSRP).
constexpr std::array<MacRange, 3> kVirtualRouterMacs { {
    { { 0x00, 0x00, 0x5E, 0x00, 0x01 } },
    { { 0x00, 0x00, 0x5E, 0x00, 0x02 } },
    { { 0x00, 0x00, 0x0C, 0x07, 0xAC } },
} };

std::uint64_t macKey(const MacBytes& mac)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 6; ++i)
        key = key << 8 | mac[i];
    return key;
}

bool isUnicastMac(const MappingEntry& entry)
{
    return entry.macLength > 0 && (entry.mac[0] & 0x01) == 0;
}

bool holds(const MappingEntry& entry, const MacBytes& mac)
{
    return entry.macLength > 0 && macKey(entry.mac) == macKey(mac);
}

// Every IPv6 host has several addresses (link-local, one per prefix,
// temporary ones) and all of them move when its MAC changes: another address
// that came to the MAC from the one this entry left is the same host moving.
bool movedTogether(const MappingEntry& other, const MappingEntry& entry, const MacBytes& previousMac)
{
    return entry.address.isV6() && other.previous != nullptr && holds(*other.previous, previousMac);
}

// 169.254.0.0/16 or fe80::/10: on the link by definition.
bool isLinkLocal(const IpAddress& address)
{
    return address.isLinkLocal()
        || (address.isV4() && (netToHost(address.v4Value()) & 0xFFFF0000u) == 0xA9FE0000u);
}

}  // namespace

bool isVirtualRouterMac(const MacBytes& mac)
{
    return std::ranges::any_of(kVirtualRouterMacs, [&mac](const MacRange& range) {
        return std::equal(range.prefix.begin(), range.prefix.end(), mac.begin());
    });
}

void CMappingWatcher::followConfiguration()
{
    hostnet::ChangeFeed* const feed = ipHelper_->changeFeed();
    const bool changed = feed == nullptr || feed->takeConfigurationChanged();
    if (changed)
        networkConfig.reload(*ipHelper_);
    if (families.v4 && (changed || routeChangedSince_))
        checkOutsideRoute();
    if (families.v6 && (changed || v6GatewaysChangedSince_))
        checkIpv6Gateways();
}

CMappingWatcher::Ipv6Gateways CMappingWatcher::currentIpv6Gateways() const
{
    Ipv6Gateways current;
    for (const hostnet::DefaultRouteRow& row : networkConfig.gateways) {
        if (!row.gateway.isV6() || row.gateway.isUnspecified())
            continue;
        // Rogue advertisements from made-up routers can add default routes
        // by the thousand: past the bound the highest are not followed.
        current.insert({ row.interfaceIndex, row.gateway });
        if (current.size() > kMostIpv6Gateways)
            current.erase(std::prev(current.end()));
    }
    return current;
}

void CMappingWatcher::checkIpv6Gateways()
{
    // IPv6 has no one path to the outside to watch: every router on a link
    // advertises itself, and the host keeps a default route for each. What
    // an attacker changes is that set.
    const Ipv6Gateways current = currentIpv6Gateways();
    if (!settledIpv6Gateways_) {
        settledIpv6Gateways_ = current;
        return;
    }
    if (*settledIpv6Gateways_ == current) {
        v6GatewaysChangedSince_.reset();
        return;
    }
    const std::int64_t now = secondsSinceEpoch(clock_());
    if (!v6GatewaysChangedSince_) {
        v6GatewaysChangedSince_ = now;
        return;
    }
    if (now - *v6GatewaysChangedSince_ < kRouteSettleSeconds)
        return;
    v6GatewaysChangedSince_.reset();
    const Ipv6Gateways before = *std::exchange(settledIpv6Gateways_, current);
    for (const auto& [interfaceIndex, gateway] : current) {
        if (before.contains({ interfaceIndex, gateway }))
            continue;
        // A router on a link that had none is the link's first, not a rogue
        // one; gone routers only leave the set.
        const auto oldOnLink = before.lower_bound({ interfaceIndex, IpAddress {} });
        if (oldOnLink == before.end() || oldOnLink->first != interfaceIndex)
            continue;
        const hostnet::IpAdapterInfo* adapter = networkConfig.adapterInfo(interfaceIndex);
        const bool hasMac = adapter != nullptr && adapter->AddressLength > 0;
        raise(DefaultRouteChanged, oldOnLink->second, hasMac ? adapter->Address.data() : nullptr,
            hasMac ? clampedMacLength(adapter->AddressLength) : 0, nullptr, 0, gateway);
    }
}

void CMappingWatcher::checkOutsideRoute()
{
    if (!ipHelper_->looksUpRoutes())
        return;
    const std::optional<hostnet::RouteAnswer> current
        = ipHelper_->lookupRoute(IpAddress::v4(kOutsideAddress));
    std::optional<hostnet::RouteAnswer>& settled = alertMemory.outsideRoute;
    // No path at all is no attacker's path; the gateway before it is kept, so
    // that one coming back after a gap is compared with it.
    if (!current || settled == current) {
        routeChangedSince_.reset();
        return;
    }
    if (!settled) {
        settled = current;
        ++generation_;
        return;
    }
    const std::int64_t now = secondsSinceEpoch(clock_());
    if (!routeChangedSince_) {
        routeChangedSince_ = now;
        return;
    }
    if (now - *routeChangedSince_ < kRouteSettleSeconds)
        return;
    routeChangedSince_.reset();
    const hostnet::RouteAnswer before = *std::exchange(settled, current);
    ++generation_;
    // A tunnel (no gateway) or another adapter taking the path over is the
    // host's own doing; a gateway replaced by another on the same link is
    // what a rogue DHCP server does.
    if (before.gateway.isUnspecified() || current->gateway.isUnspecified()
        || before.interfaceIndex != current->interfaceIndex)
        return;
    const hostnet::IpAdapterInfo* adapter = networkConfig.adapterInfo(current->interfaceIndex);
    const bool hasMac = adapter != nullptr && adapter->AddressLength > 0;
    raise(DefaultRouteChanged, before.gateway, hasMac ? adapter->Address.data() : nullptr,
        hasMac ? clampedMacLength(adapter->AddressLength) : 0, nullptr, 0, current->gateway);
}

void CMappingWatcher::noteHolder(const MappingEntry& entry)
{
    if (entry.macLength == 0)
        return;
    // Stale names (addresses since forgotten or moved on) go when the index
    // outgrows the cache.
    if (macHolders_.size() > 2 * programCache.size() + 1024) {
        macHolders_.clear();
        // The entry being replaced is out of its place (null) while its change is made.
        for (const auto& [address, cached] : programCache)
            if (cached && cached->macLength > 0)
                macHolders_[macKey(cached->mac)].insert(address);
    }
    macHolders_[macKey(entry.mac)].insert(entry.address);
}

std::vector<IpAddress> CMappingWatcher::otherHolders(const MappingEntry& entry, const MacBytes& previousMac)
{
    std::vector<IpAddress> others;
    const auto found = macHolders_.find(macKey(entry.mac));
    if (found == macHolders_.end())
        return others;
    // One lookup a holder: names since forgotten or moved on are dropped on
    // the way. The entry itself is out of its place while its change is made.
    found->second.keepIf([&](const IpAddress& holder) {
        if (holder == entry.address)
            return true;
        const auto cached = programCache.find(holder);
        if (cached == programCache.end())
            return false;
        const MappingEntry* const other = cached->second.get();
        if (other == nullptr)
            return true;
        if (!holds(*other, entry.mac))
            return false;
        // A dual-stack host's IPv4 and IPv6 addresses always share its MAC:
        // counting them across families would call each change of its MAC a duplicate.
        if (other->inSystemCache && other->adapterIndex == entry.adapterIndex
            && other->type != hostnet::kNetTypeInvalid && holder.family() == entry.address.family()
            && !movedTogether(*other, entry, previousMac))
            others.push_back(holder);
        return true;
    });
    std::ranges::sort(others);
    return others;
}

void CMappingWatcher::checkChangedAddress(const MappingEntry& entry, const MacBytes& previousMac)
{
    noteHolder(entry);
    if (!isUnicastMac(entry) || isVirtualRouterMac(entry.mac)
        || alertMemory.duplicatePairs.contains({ entry.address.withoutZone(), entry.mac }))
        return;
    const std::vector<IpAddress> others = otherHolders(entry, previousMac);
    if (others.empty()) {
        // Nobody else holds it yet; the attacker's own entry may come next.
        if (recentMoves_.size() >= kMostRecentMoveMacs)
            std::erase_if(recentMoves_, [&](const auto& item) {
                return secondsSinceEpoch(clock_()) - item.second.back().time > kDuplicateWindowSeconds;
            });
        if (recentMoves_.size() >= kMostRecentMoveMacs)
            recentMoves_.clear();
        std::vector<RecentMove>& moves = recentMoves_[macKey(entry.mac)];
        if (moves.size() == kMostMovesPerMac)
            moves.erase(moves.begin());
        moves.push_back({ entry.address, secondsSinceEpoch(clock_()) });
        return;
    }
    remember(alertMemory.duplicatePairs, std::pair { entry.address.withoutZone(), entry.mac });
    ++generation_;
    // The address's MAC before rides along unseen in the line, so that an
    // alert can be silenced for a failover pair by either router's MAC.
    raise(DuplicateMac, entry.address, entry.mac.data(), entry.macLength, previousMac.data(), 6,
        others.front());
}

bool CMappingWatcher::checkDuplicateOnArrival(const MappingEntry& entry)
{
    const auto found = recentMoves_.find(macKey(entry.mac));
    if (found == recentMoves_.end() || !isUnicastMac(entry) || isVirtualRouterMac(entry.mac))
        return false;
    const std::int64_t now = secondsSinceEpoch(clock_());
    std::vector<RecentMove>& moves = found->second;
    std::erase_if(moves, [now](const RecentMove& move) { return now - move.time > kDuplicateWindowSeconds; });
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
        const auto mover = programCache.find(move->address);
        if (move->address == entry.address || move->address.family() != entry.address.family()
            || mover == programCache.end() || !mover->second || !holds(*mover->second, entry.mac)
            || mover->second->adapterIndex != entry.adapterIndex
            || alertMemory.duplicatePairs.contains({ move->address.withoutZone(), entry.mac }))
            continue;
        const MappingEntry& moved = *mover->second;
        const MacBytes previous = moved.previous ? moved.previous->mac : MacBytes {};
        remember(alertMemory.duplicatePairs, std::pair { move->address.withoutZone(), entry.mac });
        ++generation_;
        raise(DuplicateMac, move->address, entry.mac.data(), entry.macLength, previous.data(), 6,
            entry.address);
        moves.erase(std::next(move).base());
        if (moves.empty())
            recentMoves_.erase(found);
        return true;
    }
    if (moves.empty())
        recentMoves_.erase(found);
    return false;
}

bool CMappingWatcher::onLink(const IpAddress& address, std::uint32_t interfaceIndex)
{
    if (isLinkLocal(address)
        || (address.isV4() && networkConfig.inAdapterSubnet(address.v4Value(), interfaceIndex)))
        return true;
    // A host that cannot say where it would send a packet is given the benefit of the doubt.
    if (!ipHelper_->looksUpRoutes())
        return true;
    const std::optional<hostnet::RouteAnswer> route = ipHelper_->lookupRoute(address);
    return route && route->interfaceIndex == interfaceIndex && route->gateway.isUnspecified();
}

void CMappingWatcher::checkNewAddress(const MappingEntry& entry)
{
    if (entry.macLength == 0)
        return;
    checkDuplicateOnArrival(entry);
    noteHolder(entry);
    // 0.0.0.0 and :: are an address probe's sender, not a neighbour; an IPv6
    // group is on every link it is joined on; a static entry is the
    // administrator's, not learnt from the wire.
    if (entry.address.isUnspecified() || (entry.address.isV6() && entry.address.isMulticast())
        || !isUnicastMac(entry) || entry.type == hostnet::kNetTypeStatic
        || alertMemory.notInSubnet.contains({ entry.address, entry.adapterIndex })
        || onLink(entry.address, entry.adapterIndex))
        return;
    remember(alertMemory.notInSubnet, std::pair { entry.address, entry.adapterIndex });
    ++generation_;
    raise(NotInSubnet, entry.address, entry.mac.data(), entry.macLength);
}

}  // namespace tevra
