#pragma once

#include "hostnet/ChangeFeed.h"
#include "hostnet/linux/RouteMessages.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct nlmsghdr;

namespace tevra::hostnet {

class NetlinkSocket;

// Keeps a copy of the kernel's IPv4 neighbour table current from the change
// notifications the kernel sends to every listener, and hands each change of
// an address over in the order the kernel made them. The whole table is read
// again only when notifications were lost and once a minute as a safety net;
// those reads run on the subscribed socket itself, so notifications and dump
// come in one order and none is applied out of turn.
class NeighbourFollower {
public:
    // Room for a burst of about 30,000 notifications (the kernel charges
    // roughly 1 KiB a message). Only a privileged process may go past the
    // system's limit (net.core.rmem_max); an unprivileged one gets that limit
    // and recovers from an overrun by reading the table again.
    static constexpr int kReceiveBufferBytes = 32 << 20;

    // Subscribed and read once; null, with `error` saying why, when not possible.
    static std::unique_ptr<NeighbourFollower> start(std::string& error, int receiveBufferBytes);

    explicit NeighbourFollower(std::unique_ptr<NetlinkSocket> socket);
    ~NeighbourFollower();

    // Becomes readable when notifications arrive.
    int fd() const;
    // The changes that arrived since the last call; never waits for more.
    std::vector<NetTableChange> take();
    // Whether links, addresses or routes changed, or notifications of them
    // were lost, since the last call.
    bool takeConfigurationChanged() { return std::exchange(configurationChanged_, false); }
    // The copy, sorted as the platform's table reads are.
    const std::vector<MibIpNetRow>& table();

    // A whole read: rows keyed by address in host order, then interface.
    using SortedRows = std::vector<std::pair<std::uint64_t, MibIpNetRow>>;
    // The rows a dump leaves, given its rows and the notifications read along
    // with it in the order they came, sorted as a whole read is.
    static SortedRows rowsAsTheyEnd(std::vector<NeighbourNotice> arrivals);

    // What could not be followed, for the trace and for diagnostics.
    const FeedCounts& counts() const { return counts_; }
    std::uint64_t overruns() const { return counts_.overruns; }
    const std::string& lastError() const { return lastError_; }

private:
    // Address in host order, then interface: the order of the table's rows.
    using Table = std::map<std::uint64_t, MibIpNetRow>;

    // Reads what is queued, applying each notification; false when the socket
    // says notifications were lost.
    bool receive(std::vector<NetTableChange>& changes);
    // Reads the whole table anew on the subscribed socket; every difference to
    // the copy becomes a change. False when no complete read could be had.
    bool resynchronise(std::vector<NetTableChange>* changes);
    bool readWhole(SortedRows& fresh);
    void apply(const NeighbourNotice& notice, std::vector<NetTableChange>& changes);
    void noteUnreadable(const nlmsghdr& message);

    std::unique_ptr<NetlinkSocket> socket_;
    Table table_;
    // table_ as rows, while rowsCurrent_ says no change came since they were made.
    std::vector<MibIpNetRow> rows_;
    bool rowsCurrent_ = false;
    std::chrono::steady_clock::time_point lastWholeRead_;
    bool wholeReadDue_ = false;
    FeedCounts counts_;
    std::string lastError_;
    // The snapshot its user took before subscribing may already be out of date.
    bool configurationChanged_ = true;
};

}  // namespace tevra::hostnet
