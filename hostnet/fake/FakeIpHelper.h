#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
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
class FakeIpHelper : public IpHelper {
public:
    struct Calls {
        int netTableReads = 0;
        std::vector<MibIpNetRow> deleted;
        std::vector<std::uint32_t> flushed;
        std::vector<std::string> pinged;
    };

    std::vector<MibIpNetRow> netTable;
    std::vector<MibIpAddrRow> addrTable;
    std::vector<IpAdapterInfo> adapters;

    // Hands the ARP table out in the order it was filled, as no platform does,
    // for tests of what a caller makes of a table out of order.
    bool keepFillOrder = false;
    bool failNetTable = false;
    bool failAddrTable = false;
    bool failAdapters = false;
    // Given instead of the model's answer when set; the table is left alone then.
    std::optional<std::int32_t> deleteResult;
    std::optional<std::int32_t> flushResult;
    std::int32_t pingResult = 0;
    // The change feed: none while feedHandle is -1; takeChanges hands over and
    // empties `changes`. Tests that need a waitable handle set one they own.
    int feedHandle = -1;
    std::vector<NetTableChange> changes;

    Calls calls;

    std::optional<std::vector<MibIpNetRow>> getIpNetTable() override;
    std::optional<std::vector<MibIpAddrRow>> getIpAddrTable() override;
    std::optional<std::vector<IpAdapterInfo>> getAdaptersInfo() override;
    // Removes the row of that interface and address; -1 when there is none.
    std::int32_t deleteIpNetEntry(const MibIpNetRow& row) override;
    // Removes the interface's rows but the static ones; -1 for an interface
    // that is not one of the adapters.
    std::int32_t flushIpNetTable(std::uint32_t interfaceIndex) override;
    std::int32_t startPing(const std::string& dottedAddress) override;
    int openChangeFeed() override { return feedHandle; }
    std::vector<NetTableChange> takeChanges() override { return std::exchange(changes, {}); }
    std::string lastError() const override { return lastError_; }

private:
    std::int32_t fail(std::string why);

    std::string lastError_;
};

}  // namespace tevra::hostnet
