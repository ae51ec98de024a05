// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/AddressSweep.h"
#include "hostnet/IpHelper.h"
#include "hostnet/windows/IpHelperApi.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tevra::hostnet {

// The host network operations over the IP Helper API. No change feed: the
// engine polls the neighbour table.
class WindowsIpHelper : public IpHelper {
public:
    explicit WindowsIpHelper(std::unique_ptr<IpHelperApi> api);

    // Both families from GetIpNetTable2, or the ARP table alone (GetIpNetTable)
    // where GetIpNetTable2 has never answered, as under Wine.
    ReadResult<MibIpNetRow> getIpNetTable() override;
    ReadResult<MibIpAddrRow> getIpAddrTable() override;
    ReadResult<IpAdapterInfo> getAdaptersInfo() override;
    // The default routes of both families: IPv4 first, each lowest metric first.
    ReadResult<DefaultRouteRow> getDefaultRoutes() override;
    std::optional<RouteAnswer> lookupRoute(const IpAddress& address) override;
    // With GetBestRoute2, or else from the routing table: Wine's
    // GetBestRoute2 does not answer.
    bool looksUpRoutes() const override;
    // An IPv4 entry with DeleteIpNetEntry, an IPv6 one with DeleteIpNetEntry2.
    ActionResult deleteIpNetEntry(const MibIpNetRow& row) override;
    ActionResult flushIpNetTable(std::uint32_t interfaceIndex) override;
    ActionResult startPing(const std::string& dottedAddress) override;
    ActionResult startSweep(const std::vector<std::uint32_t>& addresses) override;
    bool sweeping() override { return sweep_.busy(); }
    ChangeFeed* changeFeed() override { return nullptr; }

    // How often a table that changed size between the size call and the fill
    // is asked for again before the read is given up.
    static constexpr int kFillAttempts = 3;

private:
    // What one of the size-then-fill calls delivered; no bytes when the
    // platform has no rows at all. `reason` says why there is nothing.
    struct Filled {
        std::unique_ptr<std::byte[]> bytes;
        ULONG size = 0;
        std::string reason;
        bool failed() const { return !reason.empty(); }
    };
    // `fill(buffer, &size)` is one call of a table operation.
    template<typename Fill> Filled readTable(const char* what, Fill fill);

    // The ARP table from GetIpNetTable.
    ReadResult<MibIpNetRow> readArpTable();
    // Whether GetIpNetTable2 answers, learnt from its first call.
    bool neighbourTable2Answers();
    ActionResult deleteIpv6Entry(const MibIpNetRow& row);

    std::unique_ptr<IpHelperApi> api_;
    std::optional<bool> neighbourTable2Answers_;
    struct Route {
        IpAddress prefix;
        unsigned prefixLength = 0;
        IpAddress nextHop;  // unspecified: on the link
        std::uint32_t interfaceIndex = 0;
        std::uint32_t metric = 0;
    };
    // The routing table of both families (GetIpForwardTable2), or none and why.
    std::optional<std::vector<Route>> readRoutes(std::string& reason) const;
    // Whether GetBestRoute2 answers, learnt from its first lookup (of loopback).
    bool bestRouteAnswers() const;
    mutable std::optional<bool> bestRouteAnswers_;
    AddressSweep sweep_ { makeDatagramSender() };
};

}  // namespace tevra::hostnet
