#include "engine/MappingWatcher.h"

#include "engine/Address.h"

#include <algorithm>
#include <cstring>

namespace tevra {

CMappingWatcher::CMappingWatcher(std::unique_ptr<hostnet::IpHelper> ipHelper, Clock clock)
    : ipHelper_(std::move(ipHelper))
    , clock_(std::move(clock))
    , networkConfig(*ipHelper_)
{
}

std::int32_t CMappingWatcher::clearProgramCache()
{
    programCache.clear();
    return 0;
}

std::int32_t CMappingWatcher::removeFromProgramCache(std::string_view dottedAddress)
{
    const auto address = parseDottedQuad(dottedAddress);
    if (!address)
        return -1;
    return programCache.erase(*address) == 1 ? 0 : -1;
}

MappingEntry* CMappingWatcher::findEntry(std::string_view dottedAddress)
{
    const auto address = parseDottedQuad(dottedAddress);
    if (!address)
        return nullptr;
    const auto it = programCache.find(*address);
    return it == programCache.end() ? nullptr : it->second.get();
}

std::int32_t CMappingWatcher::lookupVendor(MappingEntry& entry) const
{
    if (vendorTable.empty())
        return -1;
    const std::uint32_t prefix
        = std::uint32_t(entry.mac[0]) << 16 | std::uint32_t(entry.mac[1]) << 8 | entry.mac[2];
    const std::string* name = vendorTable.find(prefix);
    if (name == nullptr) {
        entry.vendor.reset();
        return -1;
    }
    entry.vendor = *name;
    return 0;
}

void CMappingWatcher::loadVendorTable()
{
    loadVendorTable(embeddedOuiList());
}

void CMappingWatcher::loadVendorTable(std::string_view ouiList)
{
    vendorTable.load(ouiList);
}

std::int32_t CMappingWatcher::refresh()
{
    // Changes still waiting in the feed come first: the table below already
    // holds them, and taken in order they are each reported as they happened.
    const std::vector<hostnet::NetTableChange> changes = ipHelper_->takeChanges();
    const auto table = ipHelper_->getIpNetTable();
    if (!table) {
        // Changes taken are never lost, even when the whole read fails.
        for (const hostnet::NetTableChange& change : changes)
            applyChange(change);
        return -1;
    }
    for (auto& [address, entry] : programCache) {
        entry->seen = false;
        // An absent entry is rewritten every second pass, so its row does not
        // stay marked for ever; a present one is checked each time.
        entry->redisplay = !(entry->redisplay && !entry->inSystemCache);
    }
    for (const hostnet::NetTableChange& change : changes)
        applyChange(change);
    // The table comes in address order, as the cache is walked: the entry for a
    // row is usually the one after the previous row's, found without a search.
    auto next = programCache.begin();
    for (const hostnet::MibIpNetRow& row : *table)
        next = handleRow(row, next);
    for (auto& [address, entry] : programCache)
        entry->inSystemCache = entry->seen;
    return 0;
}

std::vector<std::uint32_t> CMappingWatcher::followChanges()
{
    const std::vector<hostnet::NetTableChange> changes = ipHelper_->takeChanges();
    std::vector<std::uint32_t> touched;
    touched.reserve(changes.size());
    for (const hostnet::NetTableChange& change : changes) {
        applyChange(change);
        touched.push_back(change.address);
    }
    return touched;
}

void CMappingWatcher::applyChange(const hostnet::NetTableChange& change)
{
    const auto it = programCache.find(change.address);
    if (!change.row) {
        if (it != programCache.end()) {
            it->second->inSystemCache = false;
            it->second->seen = false;
            it->second->redisplay = true;
        }
        return;
    }
    if (it == programCache.end())
        programCache.emplace(change.address, newAddressEntry(*change.row));
    else
        applyKnownRow(it, *change.row);
}

ProgramCache::iterator CMappingWatcher::findForRow(std::uint32_t address, ProgramCache::iterator hint)
{
    if (hint != programCache.end() && hint->first == address)
        return hint;
    return programCache.lower_bound(address);
}

ProgramCache::iterator CMappingWatcher::handleRow(
    const hostnet::MibIpNetRow& row, ProgramCache::iterator hint)
{
    auto it = findForRow(row.dwAddr, hint);
    if (it == programCache.end() || it->first != row.dwAddr) {
        auto entry = newAddressEntry(row);
        return std::next(programCache.emplace_hint(it, row.dwAddr, std::move(entry)));
    }
    // The same address on a second interface: its first row in the table has
    // decided this pass; later rows only confirm it is present.
    if (it->second->seen)
        return it;
    applyKnownRow(it, row);
    return std::next(it);
}

void CMappingWatcher::applyKnownRow(ProgramCache::iterator it, const hostnet::MibIpNetRow& row)
{
    const std::uint32_t macLength = std::min<std::uint32_t>(row.dwPhysAddrLen, 8);
    MappingEntry& old = *it->second;
    if (sameMacBytes(row.bPhysAddr.data(), old.mac.data(), macLength)) {
        old.redisplay = !old.inSystemCache;
        old.inSystemCache = true;
        old.seen = true;
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
    entry->macLength = std::min<std::uint32_t>(row.dwPhysAddrLen, 8);
    std::copy_n(row.bPhysAddr.begin(), entry->macLength, entry->mac.begin());
    entry->address = row.dwAddr;
    entry->adapterIndex = row.dwIndex;
    entry->lastChanged = clock_();
    return entry;
}

std::unique_ptr<MappingEntry> CMappingWatcher::newAddressEntry(const hostnet::MibIpNetRow& row)
{
    auto entry = makeEntry(row);
    if (!isStandardMapping(*entry)) {
        if (isBroadcastMac(entry->mac)) {
            entry->alertFree = false;
            raise(BroadcastMac, entry->address, entry->mac.data(), nullptr);
        }
        if (isMulticastMac(entry->mac)) {
            entry->alertFree = false;
            raise(MulticastMac, entry->address, entry->mac.data(), nullptr);
        }
    }
    lookupVendor(*entry);
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
        raise(BroadcastMac, entry->address, entry->mac.data(), nullptr);
    else if (!standard && isMulticastMac(entry->mac))
        raise(MulticastMac, entry->address, entry->mac.data(), nullptr);
    else
        raise(MappingChanged, old->address, old->mac.data(), row.bPhysAddr.data());
    entry->previous = std::move(old);
    return entry;
}

bool CMappingWatcher::isStandardMapping(const MappingEntry& entry) const
{
    std::uint8_t ip[4];
    std::memcpy(ip, &entry.address, sizeof ip);
    if (isBroadcastMac(entry.mac))
        return entry.address == 0xFFFFFFFFu || networkConfig.isDirectedBroadcast(entry.address);
    // 224.0.0.0/4 maps onto 01-00-5E with the group's low 23 bits.
    return isMulticastMac(entry.mac) && (ip[0] & 0xF0) == 0xE0 && entry.mac[3] == (ip[1] & 0x7F)
        && entry.mac[4] == ip[2] && entry.mac[5] == ip[3];
}

void CMappingWatcher::raise(
    EventKind kind, std::uint32_t address, const std::uint8_t* firstMac, const std::uint8_t* secondMac)
{
    auto event = std::make_unique<WatchEvent>();
    event->compose(address, 0, firstMac, secondMac, kind, clock_());
    // A front end that registered no sink still gets correct numbering later;
    // the event is dropped rather than called through a null pointer.
    if (sink.callback != nullptr)
        sink.callback(std::move(event), sink.userData);
}

}  // namespace tevra
