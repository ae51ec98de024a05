#include "hostnet/fake/FakeIpHelper.h"

#include "hostnet/NeighbourOrder.h"

#include <algorithm>

namespace tevra::hostnet {

std::optional<std::vector<MibIpNetRow>> FakeIpHelper::getIpNetTable()
{
    ++calls.netTableReads;
    if (failNetTable)
        return std::nullopt;
    std::vector<MibIpNetRow> rows = netTable;
    if (!keepFillOrder)
        sortNeighbourRows(rows);
    return rows;
}

std::optional<std::vector<MibIpAddrRow>> FakeIpHelper::getIpAddrTable()
{
    if (failAddrTable)
        return std::nullopt;
    return addrTable;
}

std::optional<std::vector<IpAdapterInfo>> FakeIpHelper::getAdaptersInfo()
{
    if (failAdapters)
        return std::nullopt;
    return adapters;
}

std::int32_t FakeIpHelper::deleteIpNetEntry(const MibIpNetRow& row)
{
    calls.deleted.push_back(row);
    if (deleteResult)
        return forced(*deleteResult);
    const auto erased = std::erase_if(netTable, [&row](const MibIpNetRow& entry) {
        return entry.dwIndex == row.dwIndex && entry.dwAddr == row.dwAddr;
    });
    return erased == 0 ? fail("deleting a neighbour entry: no such entry in the table", Failure::NoSuchEntry)
                       : 0;
}

std::int32_t FakeIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    calls.flushed.push_back(interfaceIndex);
    if (flushResult)
        return forced(*flushResult);
    if (std::ranges::find(adapters, interfaceIndex, &IpAdapterInfo::Index) == adapters.end())
        return fail("flushing the neighbour table: no interface " + std::to_string(interfaceIndex));
    removeDynamicRows(interfaceIndex);
    return 0;
}

std::int32_t FakeIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept)
{
    kept.clear();
    calls.flushed.insert(calls.flushed.end(), interfaceIndexes.begin(), interfaceIndexes.end());
    if (flushResult) {
        if (*flushResult != 0)
            kept = flushKept;
        return forced(*flushResult);
    }
    for (const std::uint32_t index : interfaceIndexes)
        removeDynamicRows(index);
    return 0;
}

void FakeIpHelper::removeDynamicRows(std::uint32_t interfaceIndex)
{
    std::erase_if(netTable, [interfaceIndex](const MibIpNetRow& entry) {
        return entry.dwIndex == interfaceIndex && entry.dwType != kNetTypeStatic;
    });
}

std::int32_t FakeIpHelper::startPing(const std::string& dottedAddress)
{
    calls.pinged.push_back(dottedAddress);
    return forced(pingResult);
}

std::int32_t FakeIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    calls.swept.insert(calls.swept.end(), addresses.begin(), addresses.end());
    return forced(sweepResult);
}

std::int32_t FakeIpHelper::fail(std::string why, Failure kind)
{
    lastError_ = std::move(why);
    lastFailure_ = kind;
    return -1;
}

std::int32_t FakeIpHelper::forced(std::int32_t result)
{
    if (result != 0) {
        lastError_ = error;
        lastFailure_ = failure;
    }
    return result;
}

}  // namespace tevra::hostnet
