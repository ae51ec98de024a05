// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MappingCells.h"
#include "ui/core/MappingRow.h"
#include "ui/core/SharedTexts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tevra {

class CMappingWatcher;

// What a face's list control is told as the rows change, so that it redraws
// only what changed: a virtual list asks for the cells of the rows in sight.
class MappingRowsObserver {
public:
    virtual ~MappingRowsObserver() = default;
    // `count` rows are about to go in at `first`; inserted() follows.
    virtual void aboutToInsert(int first, int count) = 0;
    virtual void inserted(int first, int count) = 0;
    // The row at `index` now reads differently.
    virtual void changed(int index) = 0;
    // Every row is about to go; removedAll() follows.
    virtual void aboutToRemoveAll() = 0;
    virtual void removedAll() = 0;
};

// The rows the mapping list shows, in ascending address order. The list
// keeps what it last showed and nothing else: a row changes only when it is
// written again, so an entry not marked for redisplay keeps its old texts.
class MappingRows {
public:
    explicit MappingRows(MappingRowsObserver* observer = nullptr)
        : observer_(observer)
    {
    }

    int size() const { return static_cast<int>(rows_.size()); }
    const MappingRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    std::optional<int> findRow(const hostnet::IpAddress& address) const;
    // The text that names a row's address for the watcher's commands: the
    // address, with its interface for a link-local IPv6 one.
    std::string addressKey(int index) const;

    // What a row shows, made when asked: one cell's text, or all nine.
    MappingValues valuesOf(int index) const;
    std::string text(int index, int column) const { return mappingCellText(valuesOf(index), column); }
    MappingCells cells(int index) const { return mappingCellTexts(valuesOf(index)); }

    // One pass: a row whose address is already listed is rewritten (and
    // reported changed only if it differs); every other row is inserted
    // straight at its sorted place, so the list is never seen unsorted.
    void write(std::vector<MappingRow> rows);
    // The rows of the entries marked for redisplay, or of every entry with `all`.
    void writeRedisplayed(const CMappingWatcher& watcher, bool all);
    // The rows of just these addresses, as far as they are in the program
    // cache; each address once, however often a burst changed it.
    void writeAddresses(const CMappingWatcher& watcher, std::vector<hostnet::IpAddress> addresses);
    void removeAll();

private:
    using RowList = std::vector<MappingRow>;

    RowList::const_iterator lowerBound(const hostnet::IpAddress& address) const;
    void rewrite(int index, MappingRow&& row);
    void insertNew(std::vector<MappingRow> added);
    MappingRow rowOf(const MappingEntry& entry, const NetworkConfig& config);

    RowList rows_;
    // Apart, so that each keeps its last name for the next row.
    SharedTexts vendors_;
    SharedTexts adapterNames_;
    MappingRowsObserver* observer_;
};

}  // namespace tevra
