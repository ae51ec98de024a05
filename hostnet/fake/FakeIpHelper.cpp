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
        return *deleteResult;
    const auto erased = std::erase_if(netTable, [&row](const MibIpNetRow& entry) {
        return entry.dwIndex == row.dwIndex && entry.dwAddr == row.dwAddr;
    });
    return erased == 0 ? fail("deleting a neighbour entry: no such entry") : 0;
}

std::int32_t FakeIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    calls.flushed.push_back(interfaceIndex);
    if (flushResult)
        return *flushResult;
    if (std::ranges::find(adapters, interfaceIndex, &IpAdapterInfo::Index) == adapters.end())
        return fail("flushing the neighbour table: no interface " + std::to_string(interfaceIndex));
    std::erase_if(netTable, [interfaceIndex](const MibIpNetRow& entry) {
        return entry.dwIndex == interfaceIndex && entry.dwType != kNetTypeStatic;
    });
    return 0;
}

std::int32_t FakeIpHelper::startPing(const std::string& dottedAddress)
{
    calls.pinged.push_back(dottedAddress);
    return pingResult;
}

std::int32_t FakeIpHelper::fail(std::string why)
{
    lastError_ = std::move(why);
    return -1;
}

}  // namespace tevra::hostnet
