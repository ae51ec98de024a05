#pragma once

#include "hostnet/IpHelper.h"
#include "hostnet/linux/AddressSweep.h"
#include "hostnet/linux/NeighbourFollower.h"
#include "hostnet/linux/NetlinkSocket.h"

#include <cstddef>
#include <memory>
#include <string>

namespace tevra::hostnet {

// The host network operations over rtnetlink, in the network namespace of the
// thread that first uses the object.
class LinuxIpHelper : public IpHelper {
public:
    // The change feed's socket buffer; tests make it small to force an overrun.
    explicit LinuxIpHelper(int feedBufferBytes = NeighbourFollower::kReceiveBufferBytes)
        : feedBufferBytes_(feedBufferBytes)
    {
    }
    ~LinuxIpHelper() override;

    std::optional<std::vector<MibIpNetRow>> getIpNetTable() override;
    std::optional<std::vector<MibIpAddrRow>> getIpAddrTable() override;
    std::optional<std::vector<IpAdapterInfo>> getAdaptersInfo() override;
    std::int32_t deleteIpNetEntry(const MibIpNetRow& row) override;
    std::int32_t flushIpNetTable(std::uint32_t interfaceIndex) override;
    std::int32_t flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept) override;
    std::int32_t startPing(const std::string& dottedAddress) override;
    std::int32_t startSweep(const std::vector<std::uint32_t>& addresses) override;
    bool sweeping() override { return sweep_.busy(); }
    int openChangeFeed() override;
    std::vector<NetTableChange> takeChanges() override;
    std::string lastError() const override { return lastError_; }
    Failure lastFailure() const override { return lastFailure_; }

    FeedCounts feedCounts() const override { return follower_ ? follower_->counts() : FeedCounts {}; }
    // Whole reads the feed needed after lost notifications.
    std::uint64_t feedOverruns() const { return feedCounts().overruns; }

private:
    // One request and its whole answer: 0, or a negative errno with lastError_ set.
    int exchange(const NlMsgPtr& message, const char* what, const NetlinkSocket::MessageHandler& onMessage);
    // The records of a whole dump of `type`, asked again when a change in the
    // kernel's table disturbed it; false leaves `records` to be discarded.
    template<typename Header, typename Record>
    bool dump(int type, const Header& header, const char* what, std::vector<Record>& records,
        bool (*append)(nlmsghdr&, std::vector<Record>&));
    int deleteNeighbour(std::uint32_t interfaceIndex, std::uint32_t address);
    // Whether the kernel would take a change of the neighbour table from us.
    bool mayChangeNeighbours();
    // The neighbour table as the kernel holds it now, never the feed's copy,
    // which may not yet have taken in the latest changes.
    std::optional<std::vector<MibIpNetRow>> readNeighbours();
    std::int32_t fail(std::string reason, Failure kind = Failure::Other);

    // Opened on first use and dropped after any failed exchange, so that the
    // remains of an abandoned answer never reach the next request.
    std::unique_ptr<NetlinkSocket> socket_;
    std::string lastError_;
    Failure lastFailure_ = Failure::None;
    std::size_t lastNeighbourCount_ = 0;
    // Present once the change feed is open; the table is then served from it.
    std::unique_ptr<NeighbourFollower> follower_;
    int feedBufferBytes_;
    // Last, so that it stops before anything it might use goes.
    AddressSweep sweep_;
};

}  // namespace tevra::hostnet
