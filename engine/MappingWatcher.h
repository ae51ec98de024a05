// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ActionFailure.h"
#include "engine/AlertMemory.h"
#include "engine/LocalTime.h"
#include "engine/MacHolders.h"
#include "engine/MappingEntry.h"
#include "engine/NetworkConfig.h"
#include "engine/SystemCacheActions.h"
#include "engine/VendorTable.h"
#include "engine/WatchEvent.h"
#include "hostnet/ChangeFeed.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tevra {

// The watcher: compares the system's ARP table with every mapping it has seen
// and reports each finding to its event sink. Single-threaded by design.
class CMappingWatcher {
    // The host comes first: the network snapshot below is read from it.
    std::unique_ptr<hostnet::IpHelper> ipHelper_;
    Clock clock_;
    SystemCacheActions systemCache_ { *ipHelper_ };

public:
    explicit CMappingWatcher(std::unique_ptr<hostnet::IpHelper> ipHelper, Clock clock = systemClock);
    CMappingWatcher(const CMappingWatcher&) = delete;
    CMappingWatcher& operator=(const CMappingWatcher&) = delete;

    EventSink sink;
    // The address families watched; rows of the others are passed over as
    // if the table did not hold them.
    struct Families {
        bool v4 = true;
        bool v6 = true;
    };
    Families families;
    // Whether an address that never resolved is forgotten once it leaves the
    // table, whoever asked for it: such a row maps nothing, and a neighbour
    // sweeping the subnet would otherwise leave one for every silent address.
    // The console sets it; the window's list has no way yet to drop a row.
    bool forgetUnresolvedWhenGone = false;
    // The most addresses the program cache keeps (0: no bound). Past it,
    // addresses that never resolved go first, then those gone from the table
    // longest; addresses in the table stay, bounded by the kernel's own table.
    std::size_t maxAddresses = 0;
    // The most history entries all addresses keep together, oldest dropped first.
    std::size_t maxTotalHistory = kMaxTotalHistoryEntries;
    NetworkConfig networkConfig;
    // What the duplicate MAC, default route and subnet alerts already said.
    AlertMemory alertMemory;
    ProgramCache programCache;
    VendorTable vendorTable;

    // Program cache
    std::int32_t clearProgramCache();
    // By address text: dotted, or IPv6 with an optional numeric zone
    // ("fe80::1%3"); a link-local address without one is its entry of the
    // lowest interface index.
    std::int32_t removeFromProgramCache(std::string_view addressText);
    std::int32_t removeFromProgramCache(const IpAddress& address);
    MappingEntry* findEntry(std::string_view addressText);
    MappingEntry* findEntry(const IpAddress& address);
    // The program cache's key for an address text, as findEntry reads it.
    std::optional<IpAddress> keyOf(std::string_view addressText) const;

    // One detection step: 0 when the ARP table was read and compared, -1 when it
    // could not be read (then nothing at all has changed).
    std::int32_t refresh();
    // Why the last refresh could not read the table, in the host's words;
    // empty when it could, or when the host did not say.
    const std::string& readError() const { return readError_; }

    // Starts following the host's change feed; called before the first
    // refresh, so that no change made from then on is missed. The descriptor
    // to wait on for followChanges, or -1 when only refreshes see changes
    // (the host has no feed, or it could not be opened).
    int openChangeFeed();
    // Takes what the host's change feed brought and applies each change in the
    // order it was made; returns the addresses whose entries it touched, so a
    // list can redraw just those rows. Nothing when the host has no feed.
    std::vector<IpAddress> followChanges();
    // One change of the table, handled exactly as a whole read handles that
    // address's row, or, for an address that left the table, marking its entry
    // as no longer in the system cache.
    void applyChange(const hostnet::NetTableChange& change);

    std::int32_t lookupVendor(MappingEntry& entry) const;
    // The vendor a MAC address shows, by the same lookup; none when unknown.
    std::optional<std::string> vendorOf(const MacBytes& mac) const;
    // The system's registry lists where it has them, the compiled-in copy otherwise.
    void loadVendorTable();

    // Actions on the system's ARP table; the next refresh sees their effect.
    // Each returns 0 when it did all it was asked, else -1, and keeps what
    // failed and why for takeActionFailures.
    std::int32_t flushSystemCache();
    std::int32_t deleteFromSystemCache(std::string_view addressText);
    std::int32_t deleteFromSystemCache(const IpAddress& address);
    // A broadcast ping of each adapter's subnet and, since most hosts ignore
    // broadcast echo requests, a sweep that makes the host resolve each address
    // of the subnet (of a subnet larger than /22, the /24 around the adapter's
    // own address). Returns at once; answers show in the next refreshes.
    std::int32_t discoverByPing();

    // The system flush, then the program cache emptied, but for the addresses
    // whose entries the flush could not remove: those are still in the table,
    // and their history stays. A flush that removed nothing leaves it all.
    std::int32_t flushBothCaches();
    // The entry deleted from the system cache, then from the program cache,
    // unless it is still in the table because the delete failed.
    std::int32_t deleteFromBothCaches(std::string_view addressText);
    std::int32_t deleteFromBothCaches(const IpAddress& address);

    // The failures of the actions since the last call, in the order they came.
    std::vector<ActionFailure> takeActionFailures();

    // Grows with every change of what a saved copy of the program cache would
    // show (an address added, changed or dropped, an entry's type), so that a
    // front end can tell in no time that nothing is to be saved.
    std::uint64_t generation() const { return generation_; }
    // The address whose route is watched as the path to the outside: a more
    // specific route that takes it over is a changed default route too.
    static constexpr std::uint32_t kOutsideAddress = 0x08080808u;  // 8.8.8.8, either byte order
    // How long a change of that path must hold before it is said: a renewal
    // deletes a route and adds it again at once.
    static constexpr std::int64_t kRouteSettleSeconds = 2;
    // How long after an address moved to a MAC the first appearance of
    // another address with that MAC still names the pair.
    static constexpr std::int64_t kDuplicateWindowSeconds = 600;

    // The addresses dropped for maxAddresses since the last call.
    std::size_t takeEvictedCount();

    hostnet::IpHelper& ipHelper() { return *ipHelper_; }

private:
    // The delete behind both delete commands; records a failure unless it is
    // the entry's absence and `absenceIsFine`.
    std::int32_t deleteEntry(const IpAddress& address, bool absenceIsFine, bool& stillInTable);
    // What the host's change feed brought since it was last asked; nothing without a feed.
    std::vector<hostnet::NetTableChange> takeChanges();
    // An unresolved row of an address that only a sweep asked for: the
    // unanswered part of a sweep, which would bury the list under a row for
    // every silent address of the subnet. It is taken in once it resolves.
    bool isUnansweredProbe(const hostnet::MibIpNetRow& row) const;

    // Whether the address's family is watched.
    bool watches(const IpAddress& address) const;
    // The rows of the watched families of a table sorted by address.
    std::span<const hostnet::MibIpNetRow> watchedRows(const std::vector<hostnet::MibIpNetRow>& sorted) const;
    // Brings every entry in line with a whole table sorted by address; the
    // addresses in `touched` (sorted) were decided by this pass's changes.
    void compareWithTable(std::span<const hostnet::MibIpNetRow> table, const std::vector<IpAddress>& touched);
    // The same for a table out of address order, in three passes.
    void compareInTableOrder(
        const std::vector<hostnet::MibIpNetRow>& table, const std::vector<IpAddress>& touched);
    // Whether an entry that is not in the table (any more) is to be forgotten.
    bool forgotten(const MappingEntry& entry) const;
    // An entry as a pass over the table finds it before its row is looked at.
    static void startPass(MappingEntry& entry);
    // A row for an address already in the cache, as both a read and a change apply it.
    void applyKnownRow(ProgramCache::iterator it, const hostnet::MibIpNetRow& row);
    std::unique_ptr<MappingEntry> makeEntry(const hostnet::MibIpNetRow& row) const;
    std::unique_ptr<MappingEntry> newAddressEntry(const hostnet::MibIpNetRow& row);
    std::unique_ptr<MappingEntry> changedEntry(
        std::unique_ptr<MappingEntry> old, const hostnet::MibIpNetRow& row);
    // A group address with its own multicast MAC, or a broadcast address with the
    // broadcast MAC, is how the protocol is meant to work and raises nothing.
    bool isStandardMapping(const MappingEntry& entry) const;
    void raise(EventKind kind, const IpAddress& address, const std::uint8_t* firstMac,
        std::uint32_t firstLength, const std::uint8_t* secondMac = nullptr, std::uint32_t secondLength = 0,
        const IpAddress& secondAddress = {});
    // The same in two steps, for an event that carries more than its line.
    std::unique_ptr<WatchEvent> composeEvent(EventKind kind, const IpAddress& address,
        const std::uint8_t* firstMac, std::uint32_t firstLength, const std::uint8_t* secondMac = nullptr,
        std::uint32_t secondLength = 0, const IpAddress& secondAddress = {}) const;
    void deliver(std::unique_ptr<WatchEvent> event);

    // The alerts that name an attacker (AttackerAlerts.cpp).
    // Reads the snapshot again when the host says it changed, then looks at
    // the path to the outside (IPv4) and at the default routers (IPv6) of
    // the families watched.
    void followConfiguration();
    void checkOutsideRoute();
    // The IPv6 default routers, as (interface, gateway) pairs.
    using Ipv6Gateways = std::set<std::pair<std::uint32_t, IpAddress>>;
    static constexpr std::size_t kMostIpv6Gateways = 4096;
    Ipv6Gateways currentIpv6Gateways() const;
    void checkIpv6Gateways();
    // After an address came into the table / moved to another MAC.
    void checkNewAddress(const MappingEntry& entry);
    void checkChangedAddress(const MappingEntry& entry, const MacBytes& previousMac);
    bool checkDuplicateOnArrival(const MappingEntry& entry);
    // The other addresses of the entry's family on its interface holding its
    // MAC now, lowest first, but those of an IPv6 host that moved with it
    // from `previousMac`.
    std::vector<IpAddress> otherHolders(const MappingEntry& entry, const MacBytes& previousMac);
    void noteHolder(const MappingEntry& entry);
    bool onLink(const IpAddress& address, std::uint32_t interfaceIndex);

    // An entry's presence after a pass: a change from present to gone is
    // stamped, so that the longest gone can be told.
    void settlePresence(MappingEntry& entry);
    // After each step: the bounds on addresses and on history (CacheLimits.cpp).
    void enforceLimits();
    void enforceAddressCap();
    void enforceHistoryCap();

    std::string readError_;
    std::uint64_t generation_ = 0;
    std::uint64_t goneCounter_ = 0;
    // History entries kept, never fewer than there are: dropped entries that
    // are not counted off are found by the next count.
    std::size_t historyCount_ = 0;
    std::size_t evicted_ = 0;
    // Every address a sweep has asked for, network byte order.
    std::set<std::uint32_t> sweptAddresses_;
    // The addresses that were given each MAC, checked against the cache when
    // asked, so that finding the holders of a MAC is no walk over the cache.
    // Hashed, as it is only ever looked up; its nodes in a pool of their
    // own, so that they do not come between the entries the refresh walks.
    std::pmr::unsynchronized_pool_resource holderNodes_;
    std::pmr::unordered_map<std::uint64_t, MacHolders> macHolders_ { &holderNodes_ };
    struct RecentMove {
        IpAddress address;
        std::int64_t time = 0;
    };
    // Addresses that moved to a MAC no other address held, by that MAC:
    // the attacker's own entry may follow.
    std::map<std::uint64_t, std::vector<RecentMove>> recentMoves_;
    // Since when the path to the outside differs from the settled one.
    std::optional<std::int64_t> routeChangedSince_;
    // The IPv6 default routers the routes last settled on; none before the
    // first look, which settles silently. Not kept across a restart.
    std::optional<Ipv6Gateways> settledIpv6Gateways_;
    std::optional<std::int64_t> v6GatewaysChangedSince_;
};

}  // namespace tevra
