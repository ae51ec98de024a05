// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/AddressSweep.h"
#include "hostnet/ChangeFeed.h"
#include "hostnet/IpHelper.h"
#include "hostnet/linux/NeighbourFollower.h"
#include "hostnet/linux/NetlinkSocket.h"

#include <cstddef>
#include <memory>
#include <string>

namespace tevra::hostnet {

// The host network operations over rtnetlink, in the network namespace of the
// thread that first uses the object, and the change feed of its neighbour
// table from the kernel's notifications.
class LinuxIpHelper : public IpHelper, public ChangeFeed {
public:
    // The change feed's socket buffer, and what its reading thread may queue;
    // tests make them small to force an overrun.
    explicit LinuxIpHelper(int feedBufferBytes = NeighbourFollower::kReceiveBufferBytes,
        std::size_t feedQueueBytes = NeighbourFollower::kQueueBytes)
        : feedBufferBytes_(feedBufferBytes)
        , feedQueueBytes_(feedQueueBytes)
    {
    }
    ~LinuxIpHelper() override;
    // How often the open feed reads the table whole; tests shorten it.
    void setSafetyNetPeriod(std::chrono::steady_clock::duration period) { safetyNetPeriod_ = period; }

    ReadResult<MibIpNetRow> getIpNetTable() override;
    ReadResult<MibIpAddrRow> getIpAddrTable() override;
    ReadResult<IpAdapterInfo> getAdaptersInfo() override;
    ReadResult<DefaultRouteRow> getDefaultRoutes() override;
    std::optional<RouteAnswer> lookupRoute(const IpAddress& address) override;
    bool looksUpRoutes() const override { return true; }
    ActionResult deleteIpNetEntry(const MibIpNetRow& row) override;
    ActionResult flushIpNetTable(std::uint32_t interfaceIndex) override;
    ActionResult flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept) override;
    ActionResult startPing(const std::string& dottedAddress) override;
    ActionResult startSweep(const std::vector<std::uint32_t>& addresses) override;
    bool sweeping() override { return sweep_.busy(); }
    ChangeFeed* changeFeed() override { return this; }

    ActionResult open() override;
    int descriptor() const override;
    std::vector<NetTableChange> take() override;
    bool takeConfigurationChanged() override
    {
        return follower_ ? follower_->takeConfigurationChanged() : true;
    }
    FeedCounts counts() const override { return follower_ ? follower_->counts() : FeedCounts {}; }
    // Whole reads the feed needed after lost notifications.
    std::uint64_t feedOverruns() const { return counts().overruns; }

private:
    // What one request got: 0 or a negative errno, with the words for a failure.
    struct Answer {
        int status = 0;
        std::string reason;
    };
    static ActionResult resultOf(const Answer& answer);

    // One request and its whole answer.
    Answer exchange(
        const NlMsgPtr& message, const char* what, const NetlinkSocket::MessageHandler& onMessage);
    // The records of a whole dump of `type`, asked again when a change in the
    // kernel's table disturbed it; a failure leaves `records` to be discarded.
    template<typename Header, typename Record>
    Answer dump(int type, const Header& header, const char* what, std::vector<Record>& records,
        bool (*append)(nlmsghdr&, std::vector<Record>&));
    // The records of one dump per family, IPv4's first. One dump of every
    // family would also bring each bridge's forwarding table.
    template<typename Header, typename Record>
    Answer dumpBothFamilies(int type, Header header, unsigned char Header::*family, const char* what,
        std::vector<Record>& records, bool (*append)(nlmsghdr&, std::vector<Record>&));
    Answer deleteNeighbour(std::uint32_t interfaceIndex, const IpAddress& address);
    // Done when the kernel would take a change of the neighbour table from us.
    ActionResult mayChangeNeighbours();
    // The neighbour table as the kernel holds it now, never the feed's copy,
    // which may not yet have taken in the latest changes.
    ReadResult<MibIpNetRow> readNeighbours();

    // Opened on first use and dropped after any failed exchange, so that the
    // remains of an abandoned answer never reach the next request.
    std::unique_ptr<NetlinkSocket> socket_;
    std::size_t lastNeighbourCount_ = 0;
    // Present once the change feed is open; the table is then served from it.
    std::unique_ptr<NeighbourFollower> follower_;
    int feedBufferBytes_;
    std::size_t feedQueueBytes_;
    std::chrono::steady_clock::duration safetyNetPeriod_ = NeighbourFollower::kSafetyNetPeriod;
    // Last, so that it stops before anything it might use goes.
    AddressSweep sweep_ { makeDatagramSender() };
};

}  // namespace tevra::hostnet
