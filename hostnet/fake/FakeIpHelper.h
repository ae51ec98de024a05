#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tevra::hostnet {

// A scripted host for tests: tables are set by the test, failures switched on,
// and every action is recorded in the order it was asked for.
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
    bool failNetTable = false;
    bool failAddrTable = false;
    bool failAdapters = false;
    std::int32_t deleteResult = 0;
    std::int32_t flushResult = 0;
    std::int32_t pingResult = 0;
    // The change feed: none while feedHandle is -1; takeChanges hands over and
    // empties `changes`. Tests that need a waitable handle set one they own.
    int feedHandle = -1;
    std::vector<NetTableChange> changes;
    Calls calls;

    std::optional<std::vector<MibIpNetRow>> getIpNetTable() override;
    std::optional<std::vector<MibIpAddrRow>> getIpAddrTable() override;
    std::optional<std::vector<IpAdapterInfo>> getAdaptersInfo() override;
    std::int32_t deleteIpNetEntry(const MibIpNetRow& row) override;
    std::int32_t flushIpNetTable(std::uint32_t interfaceIndex) override;
    std::int32_t startPing(const std::string& dottedAddress) override;
    int openChangeFeed() override { return feedHandle; }
    std::vector<NetTableChange> takeChanges() override { return std::exchange(changes, {}); }
};

}  // namespace tevra::hostnet
