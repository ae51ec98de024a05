// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/fake/FakeIpHelper.h"

#include "hostnet/NeighbourOrder.h"

#include <algorithm>
#include <bit>

namespace tevra::hostnet {

ReadResult<MibIpNetRow> FakeIpHelper::getIpNetTable()
{
    ++calls.netTableReads;
    if (failNetTable)
        return ReadResult<MibIpNetRow>::failed({});
    std::vector<MibIpNetRow> rows = netTable;
    if (!keepFillOrder)
        sortNeighbourRows(rows);
    return rows;
}

ReadResult<MibIpAddrRow> FakeIpHelper::getIpAddrTable()
{
    if (failAddrTable)
        return ReadResult<MibIpAddrRow>::failed({});
    return addrTable;
}

ReadResult<IpAdapterInfo> FakeIpHelper::getAdaptersInfo()
{
    if (failAdapters)
        return ReadResult<IpAdapterInfo>::failed({});
    return adapters;
}

ReadResult<DefaultRouteRow> FakeIpHelper::getDefaultRoutes()
{
    std::vector<DefaultRouteRow> rows;
    for (const Route& route : routes)
        if (route.prefixLength == 0)
            rows.push_back({ route.gateway, route.interfaceIndex, route.metric });
    std::ranges::stable_sort(rows, {}, &DefaultRouteRow::metric);
    return rows;
}

std::optional<RouteAnswer> FakeIpHelper::lookupRoute(const IpAddress& address)
{
    std::vector<Route> candidates = routes;
    for (const MibIpAddrRow& row : addrTable)
        candidates.push_back({ IpAddress::v4(row.dwAddr), unsigned(std::popcount(row.dwMask)),
            IpAddress::v4(0), row.dwIndex, 0 });
    std::optional<Route> best;
    for (const Route& route : candidates) {
        if (!samePrefix(address, route.destination, route.prefixLength))
            continue;
        if (!best || route.prefixLength > best->prefixLength
            || (route.prefixLength == best->prefixLength && route.metric < best->metric))
            best = route;
    }
    if (!best)
        return std::nullopt;
    return RouteAnswer { best->interfaceIndex, best->gateway };
}

ActionResult FakeIpHelper::deleteIpNetEntry(const MibIpNetRow& row)
{
    calls.deleted.push_back(row);
    if (deleteResult)
        return forced(*deleteResult);
    const bool present = std::ranges::any_of(netTable, [&row](const MibIpNetRow& entry) {
        return entry.dwIndex == row.dwIndex && entry.address == row.address;
    });
    removeRows([&row](const MibIpNetRow& entry) {
        return entry.dwIndex == row.dwIndex && entry.address == row.address;
    });
    if (!present)
        return ActionResult::failed(
            "deleting a neighbour entry: no such entry in the table", Failure::NoSuchEntry);
    return ActionResult::done();
}

ActionResult FakeIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    calls.flushed.push_back(interfaceIndex);
    if (flushResult)
        return forced(*flushResult);
    if (std::ranges::find(adapters, interfaceIndex, &IpAdapterInfo::Index) == adapters.end())
        return ActionResult::failed(
            "flushing the neighbour table: no interface " + std::to_string(interfaceIndex));
    removeDynamicRows(interfaceIndex);
    return ActionResult::done();
}

ActionResult FakeIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept)
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
    return ActionResult::done();
}

void FakeIpHelper::removeDynamicRows(std::uint32_t interfaceIndex)
{
    removeRows([interfaceIndex](const MibIpNetRow& entry) {
        return entry.dwIndex == interfaceIndex && entry.dwType != kNetTypeStatic;
    });
}

void FakeIpHelper::removeRows(const std::function<bool(const MibIpNetRow&)>& gone)
{
    for (const MibIpNetRow& entry : netTable)
        if (gone(entry))
            notify({ entry.address, std::nullopt });
    std::erase_if(netTable, gone);
}

ActionResult FakeIpHelper::startPing(const std::string& dottedAddress)
{
    calls.pinged.push_back(dottedAddress);
    return forced(pingResult);
}

ActionResult FakeIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    calls.swept.insert(calls.swept.end(), addresses.begin(), addresses.end());
    return forced(sweepResult);
}

ActionResult FakeIpHelper::forced(std::int32_t result) const
{
    return result == 0 ? ActionResult::done() : ActionResult::failed(error, failure);
}

}  // namespace tevra::hostnet
