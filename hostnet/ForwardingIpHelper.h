// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tevra::hostnet {

// A host layer that hands every operation to another one. Layers that change
// a few operations derive from it and override just those, so that none can
// forget to pass the others on (the sweep's progress, the change feed).
class ForwardingIpHelper : public IpHelper {
public:
    // `target` outlives this object.
    explicit ForwardingIpHelper(IpHelper& target)
        : target_(target)
    {
    }

    ReadResult<MibIpNetRow> getIpNetTable() override { return target_.getIpNetTable(); }
    ReadResult<MibIpAddrRow> getIpAddrTable() override { return target_.getIpAddrTable(); }
    ReadResult<IpAdapterInfo> getAdaptersInfo() override { return target_.getAdaptersInfo(); }
    ReadResult<DefaultRouteRow> getDefaultRoutes() override { return target_.getDefaultRoutes(); }
    std::optional<RouteAnswer> lookupRoute(const IpAddress& address) override
    {
        return target_.lookupRoute(address);
    }
    bool looksUpRoutes() const override { return target_.looksUpRoutes(); }
    ActionResult deleteIpNetEntry(const MibIpNetRow& row) override { return target_.deleteIpNetEntry(row); }
    ActionResult flushIpNetTable(std::uint32_t interfaceIndex) override
    {
        return target_.flushIpNetTable(interfaceIndex);
    }
    ActionResult flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept) override
    {
        return target_.flushIpNetTables(interfaceIndexes, kept);
    }
    ActionResult startPing(const std::string& dottedAddress) override
    {
        return target_.startPing(dottedAddress);
    }
    ActionResult startSweep(const std::vector<std::uint32_t>& addresses) override
    {
        return target_.startSweep(addresses);
    }
    bool sweeping() override { return target_.sweeping(); }
    ChangeFeed* changeFeed() override { return target_.changeFeed(); }

protected:
    IpHelper& target() { return target_; }

private:
    IpHelper& target_;
};

}  // namespace tevra::hostnet
