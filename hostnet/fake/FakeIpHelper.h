// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/ChangeFeed.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tevra::hostnet {

// The host as the tests see it. Its tables are a model of the kernel's that
// tests/hostnet holds to the real thing: reads hand out the tables (the ARP
// table in neighbour order, whatever order a test filled it in), delete and
// flush act on the ARP table as the kernel acts on its neighbour table. Every
// action is recorded in the order it was asked for, and a test can force a
// read to fail or an action to give a result of its choosing.
class FakeIpHelper : public IpHelper, public ChangeFeed {
public:
    struct Calls {
        int netTableReads = 0;
        std::vector<MibIpNetRow> deleted;
        std::vector<std::uint32_t> flushed;
        std::vector<std::string> pinged;
        std::vector<std::uint32_t> swept;
    };

    std::vector<MibIpNetRow> netTable;
    std::vector<MibIpAddrRow> addrTable;
    std::vector<IpAdapterInfo> adapters;
    // The routing table beside the connected subnets of addrTable; routes of
    // prefix length 0 are the default routes. A gateway of the other family
    // than the destination is not modelled.
    struct Route {
        IpAddress destination;
        unsigned prefixLength = 0;
        IpAddress gateway;  // unspecified: on the link
        std::uint32_t interfaceIndex = 0;
        std::uint32_t metric = 0;
    };
    std::vector<Route> routes;
    // Whether route lookups are answered; off, the fake is a host that cannot
    // look routes up, and a test of the ARP table alone needs no routes.
    bool answersRouteLookups = false;
    // What takeConfigurationChanged says next; a test that changes the
    // adapters, addresses or routes sets it, as a kernel's notice would.
    bool configurationChanged = true;

    // Hands the ARP table out in the order it was filled, as no platform does,
    // for tests of what a caller makes of a table out of order.
    bool keepFillOrder = false;
    bool failNetTable = false;
    bool failAddrTable = false;
    bool failAdapters = false;
    // Given instead of the model's answer when set; the table is left alone then.
    std::optional<std::int32_t> deleteResult;
    std::optional<std::int32_t> flushResult;
    // The addresses a forced failure of a flush of several interfaces says are still there.
    std::vector<IpAddress> flushKept;
    std::int32_t pingResult = 0;
    std::int32_t sweepResult = 0;
    // What a forced failure says, and its kind.
    std::string error;
    Failure failure = Failure::Other;
    // The change feed: none unless offered; take hands over and empties
    // `changes`. Tests that wait on the feed set a descriptor they own.
    bool offersFeed = true;
    int feedHandle = -1;
    std::vector<NetTableChange> changes;

    Calls calls;

    // What a test that changes `netTable` itself tells the feed, which hands
    // it over only once open, as a kernel notifies only its listeners.
    void notify(const NetTableChange& change)
    {
        if (opened_)
            changes.push_back(change);
    }

    // A forced failure of a read says nothing, as a host that cannot tell.
    ReadResult<MibIpNetRow> getIpNetTable() override;
    ReadResult<MibIpAddrRow> getIpAddrTable() override;
    ReadResult<IpAdapterInfo> getAdaptersInfo() override;
    ReadResult<DefaultRouteRow> getDefaultRoutes() override;
    // The longest matching prefix of the connected subnets and the routes,
    // the lower metric first among equals, as the kernel chooses.
    std::optional<RouteAnswer> lookupRoute(const IpAddress& address) override;
    bool looksUpRoutes() const override { return answersRouteLookups; }
    // Removes the row of that interface and address; fails when there is none.
    ActionResult deleteIpNetEntry(const MibIpNetRow& row) override;
    // Removes the interface's rows but the static ones; fails for an
    // interface that is not one of the adapters.
    ActionResult flushIpNetTable(std::uint32_t interfaceIndex) override;
    // The same for each interface, from one look at the table: interfaces
    // that are not adapters have no rows to remove.
    ActionResult flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept) override;
    ActionResult startPing(const std::string& dottedAddress) override;
    ActionResult startSweep(const std::vector<std::uint32_t>& addresses) override;
    ChangeFeed* changeFeed() override { return offersFeed ? this : nullptr; }

    // Once open, the feed also hands over the rows that this host's own
    // delete and flush remove, as the kernel notifies its deletions.
    ActionResult open() override
    {
        opened_ = true;
        return ActionResult::done();
    }
    int descriptor() const override { return feedHandle; }
    std::vector<NetTableChange> take() override { return std::exchange(changes, {}); }
    bool takeConfigurationChanged() override { return std::exchange(configurationChanged, false); }
    FeedCounts counts() const override { return {}; }

private:
    // A result forced by the test; a failure says what `error` and `failure` say.
    ActionResult forced(std::int32_t result) const;
    void removeDynamicRows(std::uint32_t interfaceIndex);
    // Removes the rows `gone` picks, and tells an open feed of each.
    void removeRows(const std::function<bool(const MibIpNetRow&)>& gone);

    bool opened_ = false;
};

}  // namespace tevra::hostnet
