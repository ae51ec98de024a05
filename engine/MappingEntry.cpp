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

}  // namespace tevra
