// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MappingEntry.h"

namespace tevra {

MappingEntry::~MappingEntry()
{
    std::unique_ptr<MappingEntry> next = std::move(previous);
    while (next)
        next = std::move(next->previous);
}

std::size_t MappingEntry::historyLength() const
{
    std::size_t length = 0;
    for (const MappingEntry* entry = previous.get(); entry != nullptr; entry = entry->previous.get())
        ++length;
    return length;
}

std::size_t MappingEntry::trimHistory(std::size_t keep)
{
    MappingEntry* last = this;
    for (std::size_t kept = 0; kept < keep && last->previous != nullptr; ++kept)
        last = last->previous.get();
    // Freed by the destructor's loop, however long the dropped part is.
    const std::unique_ptr<MappingEntry> dropped = std::move(last->previous);
    return dropped ? dropped->historyLength() + 1 : 0;
}

}  // namespace tevra
