// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MappingWatcher.h"

#include "engine/Address.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace tevra {
namespace {

// The number of hardware address bytes a row really gives. Windows reports an
// unresolved entry as six zero bytes where Linux gives none; neither is a
// hardware address, so resolving such an entry must not count as a change.
std::uint32_t macLengthOf(const hostnet::MibIpNetRow& row)
{
    const std::uint32_t length = clampedMacLength(row.dwPhysAddrLen);
    const auto bytes = std::span(row.bPhysAddr).first(length);
    return std::ranges::all_of(bytes, [](std::uint8_t b) { return b == 0; }) ? 0 : length;
}

// 01-00-5E is IPv4's multicast range; an IPv6 neighbour may also be given
// 33-33, IPv6's own.
bool hasMulticastMac(const MappingEntry& entry)
{
    return isMulticastMac(entry.mac)
        || (entry.address.isV6() && entry.mac[0] == 0x33 && entry.mac[1] == 0x33);
}

}  // namespace

CMappingWatcher::CMappingWatcher(std::unique_ptr<hostnet::IpHelper> ipHelper, Clock clock)
    : ipHelper_(std::move(ipHelper))
    , clock_(std::move(clock))
    , networkConfig(*ipHelper_)
{
}

std::int32_t CMappingWatcher::clearProgramCache()
{
    ++generation_;
    programCache.clearAndRelease();
    return 0;
}

std::optional<IpAddress> CMappingWatcher::keyOf(std::string_view addressText) const
{
    const std::optional<ZonedText> zoned = splitZone(addressText);
    if (!zoned)
        return std::nullopt;
    std::optional<IpAddress> address = parseAddress(zoned->address, zoned->zone.value_or(0));
    if (!address || !address->isLinkLocal() || zoned->zone)
        return address;
    // Without a zone: the first entry of these bytes, which sorts by zone.
    const auto it = programCache.lower_bound(*address);
    if (it != programCache.end() && it->first.v6Bytes() == address->v6Bytes() && it->first.isV6())
        return it->first;
    return address;
}

std::int32_t CMappingWatcher::removeFromProgramCache(std::string_view addressText)
{
    const auto address = keyOf(addressText);
    return address ? removeFromProgramCache(*address) : -1;
}

std::int32_t CMappingWatcher::removeFromProgramCache(const IpAddress& address)
{
    ++generation_;
    return programCache.erase(address) == 1 ? 0 : -1;
}

MappingEntry* CMappingWatcher::findEntry(std::string_view addressText)
{
    const auto address = keyOf(addressText);
    return address ? findEntry(*address) : nullptr;
}

MappingEntry* CMappingWatcher::findEntry(const IpAddress& address)
{
    const auto it = programCache.find(address);
    return it == programCache.end() ? nullptr : it->second.get();
}

std::int32_t CMappingWatcher::lookupVendor(MappingEntry& entry) const
{
    if (vendorTable.empty())
        return -1;
    entry.vendor = vendorOf(entry.mac);
    return entry.vendor ? 0 : -1;
}

std::optional<std::string> CMappingWatcher::vendorOf(const MacBytes& mac) const
{
    const std::optional<std::string_view> name = vendorTable.find(mac);
    if (!name)
        return std::nullopt;
    return std::string(*name);
}

void CMappingWatcher::loadVendorTable()
{
    vendorTable.load(VendorTable::listFolders());
}

std::int32_t CMappingWatcher::refresh()
{
    // Changes still waiting in the feed come first: the table below already
    // holds them, and taken in order they are each reported as they happened.
    // They are never lost, even when the whole read fails.
    const std::vector<hostnet::NetTableChange> changes = takeChanges();
    // Taken after the changes: a notice of an address or route came before
    // the neighbours that depend on it.
    followConfiguration();
    const hostnet::ReadResult<hostnet::MibIpNetRow> read = ipHelper_->getIpNetTable();
    for (const hostnet::NetTableChange& change : changes)
        applyChange(change);
    readError_ = read.reason;
    if (!read.rows)
        return -1;
    const std::vector<hostnet::MibIpNetRow>& table = *read.rows;
    const auto byAddress
        = [](const hostnet::MibIpNetRow& a, const hostnet::MibIpNetRow& b) { return a.address < b.address; };
    std::vector<IpAddress> touched;
    for (const hostnet::NetTableChange& change : changes)
        if (watches(change.address))
            touched.push_back(change.address);
    std::ranges::sort(touched);
    // Room for a holder a row, made once: a first read of a large table
    // would otherwise rehash the index a dozen times while it fills.
    if (macHolders_.bucket_count() < table.size())
        macHolders_.reserve(table.size());
    if (std::ranges::is_sorted(table, byAddress))
        compareWithTable(watchedRows(table), touched);
    else
        compareInTableOrder(table, touched);
    enforceLimits();
    return 0;
}

void CMappingWatcher::settlePresence(MappingEntry& entry)
{
    if (entry.inSystemCache && !entry.seen)
        entry.goneOrder = ++goneCounter_;
    entry.inSystemCache = entry.seen;
}

void CMappingWatcher::startPass(MappingEntry& entry)
{
    entry.seen = false;
    // An absent entry is rewritten every second pass, so its row does not
    // stay marked for ever; a present one is checked each time.
    entry.redisplay = !(entry.redisplay && !entry.inSystemCache);
}

bool CMappingWatcher::watches(const IpAddress& address) const
{
    return address.isV4() ? families.v4 : families.v6;
}

std::span<const hostnet::MibIpNetRow> CMappingWatcher::watchedRows(
    const std::vector<hostnet::MibIpNetRow>& sorted) const
{
    // IPv4 rows come first in a sorted table: the families are two halves,
    // found by a binary search rather than a pass over the rows.
    const auto firstV6 = std::ranges::partition_point(
        sorted, [](const hostnet::MibIpNetRow& row) { return row.address.isV4(); });
    const std::span<const hostnet::MibIpNetRow> all(sorted);
    const auto split = std::size_t(firstV6 - sorted.begin());
    const std::span<const hostnet::MibIpNetRow> v4 = all.first(split);
    const std::span<const hostnet::MibIpNetRow> v6 = all.subspan(split);
    if (families.v4 && families.v6)
        return all;
    if (families.v4)
        return v4;
    return families.v6 ? v6 : all.first(0);
}

void CMappingWatcher::compareWithTable(
    std::span<const hostnet::MibIpNetRow> table, const std::vector<IpAddress>& touched)
{
    // One walk over the cache and the table together: at tens of thousands of
    // entries the cache does not stay in the processor's caches between
    // periods, and each further pass over it costs about as much again.
    auto it = programCache.begin();
    auto row = table.begin();
    auto change = touched.begin();
    const auto skipRowsOf = [&](const IpAddress& address) {
        while (row != table.end() && row->address == address)
            ++row;
    };
    while (it != programCache.end() || row != table.end()) {
        if (row != table.end() && (it == programCache.end() || row->address < it->first)) {
            const IpAddress address = row->address;
            if (!isUnansweredProbe(*row))
                it = std::next(programCache.emplace_hint(it, address, newAddressEntry(*row)));
            skipRowsOf(address);
            continue;
        }
        const IpAddress address = it->first;
        while (change != touched.end() && *change < address)
            ++change;
        // An entry a change of this pass touched is as that change left it.
        if (change == touched.end() || *change != address)
            startPass(*it->second);
        // The same address on a second interface: its first row in the table
        // decides this pass; later rows only confirm it is present.
        if (row != table.end() && row->address == address) {
            if (!it->second->seen)
                applyKnownRow(it, *row);
            skipRowsOf(address);
        }
        settlePresence(*it->second);
        if (!it->second->seen && forgotten(*it->second)) {
            ++generation_;
            it = programCache.erase(it);
        } else {
            ++it;
        }
    }
}

bool CMappingWatcher::forgotten(const MappingEntry& entry) const
{
    return forgetUnresolvedWhenGone && entry.macLength == 0 && entry.previous == nullptr;
}

int CMappingWatcher::openChangeFeed()
{
    hostnet::ChangeFeed* const feed = ipHelper_->changeFeed();
    if (feed == nullptr || !feed->open().ok())
        return -1;
    return feed->descriptor();
}

std::vector<hostnet::NetTableChange> CMappingWatcher::takeChanges()
{
    hostnet::ChangeFeed* const feed = ipHelper_->changeFeed();
    return feed == nullptr ? std::vector<hostnet::NetTableChange> {} : feed->take();
}

std::vector<IpAddress> CMappingWatcher::followChanges()
{
    const std::vector<hostnet::NetTableChange> changes = takeChanges();
    followConfiguration();
    std::vector<IpAddress> touched;
    touched.reserve(changes.size());
    for (const hostnet::NetTableChange& change : changes) {
        if (!watches(change.address))
            continue;
        applyChange(change);
        touched.push_back(change.address);
    }
    enforceLimits();
    return touched;
}

void CMappingWatcher::applyChange(const hostnet::NetTableChange& change)
{
    if (!watches(change.address))
        return;
    const auto it = programCache.find(change.address);
    if (!change.row) {
        if (it != programCache.end() && forgotten(*it->second)) {
            ++generation_;
            programCache.erase(it);
        } else if (it != programCache.end()) {
            it->second->seen = false;
            settlePresence(*it->second);
            it->second->redisplay = true;
        }
        return;
    }
    if (it != programCache.end())
        applyKnownRow(it, *change.row);
    else if (!isUnansweredProbe(*change.row))
        programCache.emplace(change.address, newAddressEntry(*change.row));
}

bool CMappingWatcher::isUnansweredProbe(const hostnet::MibIpNetRow& row) const
{
    return macLengthOf(row) == 0 && row.address.isV4() && sweptAddresses_.contains(row.address.v4Value());
}

void CMappingWatcher::compareInTableOrder(
    const std::vector<hostnet::MibIpNetRow>& table, const std::vector<IpAddress>& touched)
{
    // A host that does not keep its promise of a sorted table: alerts still
    // come in its order, and the first row of an address in it decides.
    for (auto& [address, entry] : programCache)
        if (!std::ranges::binary_search(touched, address))
            startPass(*entry);
    for (const hostnet::MibIpNetRow& row : table) {
        if (!watches(row.address))
            continue;
        const auto it = programCache.find(row.address);
        if (it == programCache.end()) {
            if (!isUnansweredProbe(row))
                programCache.emplace(row.address, newAddressEntry(row));
        } else if (!it->second->seen)
            applyKnownRow(it, row);
    }
    for (auto& [address, entry] : programCache)
        settlePresence(*entry);
    generation_ += std::erase_if(programCache,
        [this](const auto& item) { return !item.second->inSystemCache && forgotten(*item.second); });
}

void CMappingWatcher::applyKnownRow(ProgramCache::iterator it, const hostnet::MibIpNetRow& row)
{
    const std::uint32_t macLength = macLengthOf(row);
    MappingEntry& old = *it->second;
    // A row with no hardware address is an entry not resolved (again) yet, not
    // a change. Otherwise the length counts as much as the bytes: an address
    // that loses its last bytes is another address.
    const bool same = macLength == 0
        || (macLength == old.macLength && sameMacBytes(row.bPhysAddr.data(), old.mac.data(), macLength));
    if (same) {
        old.redisplay = !old.inSystemCache;
        old.inSystemCache = true;
        old.seen = true;
        // The kernel's word on the entry's kind (a neighbour made permanent)
        // and on its being a router holds even when the MAC stays; an
        // unresolved row says nothing of either.
        if (macLength != 0 && (old.type != row.dwType || old.isRouter != row.isRouter)) {
            old.type = row.dwType;
            old.isRouter = row.isRouter;
            old.redisplay = true;
            ++generation_;
        }
    } else if (old.macLength == 0) {
        // An unresolved entry had no hardware address yet; its first MAC is a
        // resolution, not a change, so it must not raise "Mapping changed".
        it->second = newAddressEntry(row);
    } else {
        it->second = changedEntry(std::move(it->second), row);
    }
}

std::unique_ptr<MappingEntry> CMappingWatcher::makeEntry(const hostnet::MibIpNetRow& row) const
{
    auto entry = std::make_unique<MappingEntry>();
    entry->inSystemCache = true;
    entry->redisplay = true;
    entry->seen = true;
    entry->type = row.dwType;
    entry->macLength = macLengthOf(row);
    std::copy_n(row.bPhysAddr.begin(), entry->macLength, entry->mac.begin());
    entry->address = row.address;
    entry->isRouter = row.isRouter;
    entry->adapterIndex = row.dwIndex;
    entry->lastChanged = secondsSinceEpoch(clock_());
    return entry;
}

std::unique_ptr<MappingEntry> CMappingWatcher::newAddressEntry(const hostnet::MibIpNetRow& row)
{
    ++generation_;
    auto entry = makeEntry(row);
    if (!isStandardMapping(*entry)) {
        if (isBroadcastMac(entry->mac)) {
            entry->alertFree = false;
            raise(BroadcastMac, entry->address, entry->mac.data(), entry->macLength);
        }
        if (hasMulticastMac(*entry)) {
            entry->alertFree = false;
            raise(MulticastMac, entry->address, entry->mac.data(), entry->macLength);
        }
    }
    lookupVendor(*entry);
    checkNewAddress(*entry);
    return entry;
}

std::unique_ptr<MappingEntry> CMappingWatcher::changedEntry(
    std::unique_ptr<MappingEntry> old, const hostnet::MibIpNetRow& row)
{
    auto entry = makeEntry(row);
    entry->alertFree = false;
    lookupVendor(*entry);
    const bool standard = isStandardMapping(*entry);
    if (!standard && isBroadcastMac(entry->mac))
        raise(BroadcastMac, entry->address, entry->mac.data(), entry->macLength);
    else if (!standard && hasMulticastMac(*entry))
        raise(MulticastMac, entry->address, entry->mac.data(), entry->macLength);
    else {
        std::unique_ptr<WatchEvent> event = composeEvent(MappingChanged, old->address, old->mac.data(),
            old->macLength, entry->mac.data(), entry->macLength);
        // IPv4 has no router flag; its lines and records stay without one.
        if (entry->address.isV6())
            event->setRouterFlags(entry->isRouter, old->isRouter);
        deliver(std::move(event));
        checkChangedAddress(*entry, old->mac);
    }
    entry->previous = std::move(old);
    ++generation_;
    ++historyCount_;
    historyCount_ -= std::min(historyCount_, entry->trimHistory(kMaxHistoryEntries));
    return entry;
}

bool CMappingWatcher::isStandardMapping(const MappingEntry& entry) const
{
    const std::uint8_t* const ip = entry.address.data();
    // IPv6 has no broadcast: the broadcast MAC is never an IPv6 neighbour's.
    if (isBroadcastMac(entry.mac))
        return entry.address.isV4()
            && (entry.address.v4Value() == 0xFFFFFFFFu
                || networkConfig.isDirectedBroadcast(entry.address.v4Value()));
    if (!hasMulticastMac(entry) || !entry.address.isMulticast())
        return false;
    // ff00::/8 maps onto 33-33 with the group's low 32 bits.
    if (entry.address.isV6())
        return entry.mac[0] == 0x33 && entry.mac[1] == 0x33
            && std::equal(ip + 12, ip + 16, entry.mac.begin() + 2);
    // 224.0.0.0/4 maps onto 01-00-5E with the group's low 23 bits.
    return entry.mac[3] == (ip[1] & 0x7F) && entry.mac[4] == ip[2] && entry.mac[5] == ip[3];
}

void CMappingWatcher::raise(EventKind kind, const IpAddress& address, const std::uint8_t* firstMac,
    std::uint32_t firstLength, const std::uint8_t* secondMac, std::uint32_t secondLength,
    const IpAddress& secondAddress)
{
    deliver(composeEvent(kind, address, firstMac, firstLength, secondMac, secondLength, secondAddress));
}

std::unique_ptr<WatchEvent> CMappingWatcher::composeEvent(EventKind kind, const IpAddress& address,
    const std::uint8_t* firstMac, std::uint32_t firstLength, const std::uint8_t* secondMac,
    std::uint32_t secondLength, const IpAddress& secondAddress) const
{
    auto event = std::make_unique<WatchEvent>();
    event->raisedAt = clock_();
    event->compose(address, secondAddress, firstMac, secondMac, kind, secondsSinceEpoch(event->raisedAt),
        firstLength, secondLength);
    return event;
}

void CMappingWatcher::deliver(std::unique_ptr<WatchEvent> event)
{
    // A front end that registered no sink still gets correct numbering later;
    // the event is dropped rather than called through a null pointer.
    if (sink.callback != nullptr)
        sink.callback(std::move(event), sink.userData);
}

}  // namespace tevra
