#pragma once

#include "ui/core/MappingRow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tevra {

class CMappingWatcher;
struct MappingEntry;
class NetworkConfig;

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

// The rows the mapping list shows, in ascending host-order address. The list
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
    std::optional<int> findRow(std::uint32_t hostAddress) const;

    // One pass: a row whose address is already listed is rewritten (and
    // reported changed only if it differs); every other row is inserted
    // straight at its sorted place, so the list is never seen unsorted.
    void write(std::vector<MappingRow> rows);
    void removeAll();

private:
    // Values, not texts: a first fill of tens of thousands of rows makes no
    // text at all, and a row costs one element, not an allocation of its own.
    using RowList = std::vector<MappingRow>;

    RowList::const_iterator lowerBound(std::uint32_t hostAddress) const;
    void rewrite(int index, MappingRow&& row);
    void insertNew(std::vector<MappingRow> added);

    RowList rows_;
    MappingRowsObserver* observer_;
};

// The row one program cache entry gives.
MappingRow mappingRowOf(const MappingEntry& entry, const NetworkConfig& config);
// The rows of the entries marked for redisplay, or of every entry with `all`.
std::vector<MappingRow> rowsToRedisplay(const CMappingWatcher& watcher, bool all);
// The rows of just these addresses (network byte order), as far as they are
// in the program cache; each address once, however often a burst changed it.
std::vector<MappingRow> rowsOfAddresses(const CMappingWatcher& watcher, std::vector<std::uint32_t> addresses);

}  // namespace tevra
