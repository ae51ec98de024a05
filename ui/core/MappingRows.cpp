// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/MappingRows.h"

#include "engine/Address.h"
#include "engine/MappingWatcher.h"

#include <algorithm>

namespace tevra {

MappingRows::RowList::const_iterator MappingRows::lowerBound(const hostnet::IpAddress& address) const
{
    return std::lower_bound(rows_.begin(), rows_.end(), address,
        [](const auto& shown, const hostnet::IpAddress& key) { return shown.address < key; });
}

std::optional<int> MappingRows::findRow(const hostnet::IpAddress& address) const
{
    const auto it = lowerBound(address);
    if (it == rows_.end() || it->address != address)
        return std::nullopt;
    return static_cast<int>(it - rows_.begin());
}

void MappingRows::write(std::vector<MappingRow> rows)
{
    if (rows_.empty()) {
        insertNew(std::move(rows));
        return;
    }
    std::vector<MappingRow> added;
    added.reserve(rows.size());
    for (MappingRow& written : rows) {
        if (const auto found = findRow(written.address))
            rewrite(*found, std::move(written));
        else
            added.push_back(std::move(written));
    }
    insertNew(std::move(added));
}

void MappingRows::rewrite(int index, MappingRow&& written)
{
    MappingRow& shown = rows_[static_cast<std::size_t>(index)];
    if (shown == written)
        return;
    shown = std::move(written);
    if (observer_ != nullptr)
        observer_->changed(index);
}

void MappingRows::insertNew(std::vector<MappingRow> added)
{
    // Rows from the program cache come sorted already.
    const auto byAddress = [](const MappingRow& a, const MappingRow& b) { return a.address < b.address; };
    if (!std::is_sorted(added.begin(), added.end(), byAddress))
        std::sort(added.begin(), added.end(), byAddress);
    if (rows_.empty() && !added.empty()) {
        // A first fill is one insertion, of the rows as they are.
        const int count = static_cast<int>(added.size());
        if (observer_ != nullptr)
            observer_->aboutToInsert(0, count);
        rows_ = std::move(added);
        if (observer_ != nullptr)
            observer_->inserted(0, count);
        return;
    }
    // Each run of new rows that falls between the same two listed rows goes in
    // with one insertion.
    auto next = added.begin();
    while (next != added.end()) {
        const auto at = lowerBound(next->address);
        const auto runEnd = at == rows_.end()
            ? added.end()
            : std::find_if(next, added.end(), [&](const MappingRow& r) { return r.address > at->address; });
        const int first = static_cast<int>(at - rows_.begin());
        const int count = static_cast<int>(runEnd - next);
        if (observer_ != nullptr)
            observer_->aboutToInsert(first, count);
        rows_.insert(rows_.begin() + first, std::make_move_iterator(next), std::make_move_iterator(runEnd));
        next = runEnd;
        if (observer_ != nullptr)
            observer_->inserted(first, count);
    }
}

void MappingRows::removeAll()
{
    if (observer_ != nullptr)
        observer_->aboutToRemoveAll();
    rows_.clear();
    vendors_.clear();
    adapterNames_.clear();
    if (observer_ != nullptr)
        observer_->removedAll();
}

MappingRow MappingRows::rowOf(const MappingEntry& entry, const NetworkConfig& config)
{
    return {
        .address = entry.address,
        .mac = entry.mac,
        .lastChanged = shownChangeTime(entry),
        .adapterIndex = entry.adapterIndex,
        .type = entry.type,
        .vendor = showsVendor(entry) ? vendors_.idOf(*entry.vendor) : SharedTexts::kNone,
        .adapterName = adapterNames_.idOf(config.adapterName(entry.adapterIndex)),
        .macLength = entry.macLength,
        .inSystemCache = entry.inSystemCache,
        .alertFree = entry.alertFree,
    };
}

std::string MappingRows::addressKey(int index) const
{
    return zonedAddressText(row(index).address);
}

MappingValues MappingRows::valuesOf(int index) const
{
    const MappingRow& shown = row(index);
    const auto name = [](const SharedTexts& names, std::uint32_t id) {
        return id == SharedTexts::kNone ? std::optional<std::string>() : names.text(id);
    };
    return {
        .address = shown.address,
        .mac = shown.mac,
        .macLength = shown.macLength,
        .adapterIndex = shown.adapterIndex,
        .type = shown.type,
        .lastChanged = shown.lastChanged,
        .inSystemCache = shown.inSystemCache,
        .vendor = name(vendors_, shown.vendor),
        .adapterName = name(adapterNames_, shown.adapterName).value_or(""),
    };
}

void MappingRows::writeRedisplayed(const CMappingWatcher& watcher, bool all)
{
    std::vector<MappingRow> rows;
    // Room for every entry: on a first fill they all are marked.
    rows.reserve(watcher.programCache.size());
    for (const auto& [address, entry] : watcher.programCache) {
        if (all || entry->redisplay)
            rows.push_back(rowOf(*entry, watcher.networkConfig));
    }
    write(std::move(rows));
}

void MappingRows::writeAddresses(const CMappingWatcher& watcher, std::vector<hostnet::IpAddress> addresses)
{
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    std::vector<MappingRow> rows;
    rows.reserve(addresses.size());
    for (const hostnet::IpAddress& address : addresses) {
        const auto it = watcher.programCache.find(address);
        if (it != watcher.programCache.end())
            rows.push_back(rowOf(*it->second, watcher.networkConfig));
    }
    write(std::move(rows));
}

}  // namespace tevra
