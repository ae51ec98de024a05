#include "hostnet/fake/FakeIpHelper.h"

namespace tevra::hostnet {

std::optional<std::vector<MibIpNetRow>> FakeIpHelper::getIpNetTable()
{
    ++calls.netTableReads;
    if (failNetTable)
        return std::nullopt;
    return netTable;
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
    return deleteResult;
}

std::int32_t FakeIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    calls.flushed.push_back(interfaceIndex);
    return flushResult;
}

std::int32_t FakeIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept)
{
    const std::int32_t result = IpHelper::flushIpNetTables(interfaceIndexes, kept);
    if (result != 0)
        kept = flushKept;
    return result;
}

std::int32_t FakeIpHelper::startPing(const std::string& dottedAddress)
{
    calls.pinged.push_back(dottedAddress);
    return pingResult;
}

std::int32_t FakeIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    calls.swept.insert(calls.swept.end(), addresses.begin(), addresses.end());
    return sweepResult;
}

}  // namespace tevra::hostnet
