// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/ChangeFeed.h"
#include "hostnet/linux/RouteMessages.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
//
// A thread of its own empties the socket into a queue as notifications come,
// so a caller held up elsewhere (its output blocked on a slow reader) does not
// leave them to overrun the socket's buffer. The copy, and everything but the
// socket and the queue, belong to the caller's thread.
class NeighbourFollower {
public:
    // Room for a burst of about 30,000 notifications (the kernel charges
    // roughly 1 KiB a message). Only a privileged process may go past the
    // system's limit (net.core.rmem_max); an unprivileged one gets that limit.
    static constexpr int kReceiveBufferBytes = 32 << 20;
    // What the reading thread may hold for a caller that does not take: about
    // 450,000 notifications, over 20 s of a flood of 20,000 changes a second,
    // while the whole watcher stays within 64 MB. Past it the notifications
    // are dropped as in an overrun of the socket, and the table is read again.
    static constexpr std::size_t kQueueBytes = 16 << 20;

    // Subscribed, read once, and read from then on by the thread; null, with
    // `error` saying why, when not possible.
    static std::unique_ptr<NeighbourFollower> start(
        std::string& error, int receiveBufferBytes, std::size_t queueBytes = kQueueBytes);

    NeighbourFollower(std::unique_ptr<NetlinkSocket> socket, std::size_t queueBytes);
    ~NeighbourFollower();
    NeighbourFollower(const NeighbourFollower&) = delete;
    NeighbourFollower& operator=(const NeighbourFollower&) = delete;

    // Becomes readable when notifications are waiting to be taken, or the
    // table must be read again; take makes it unreadable again.
    int fd() const;
    // The changes that arrived since the last call, those the kernel had sent
    // by the time of the call included; never waits for more.
    std::vector<NetTableChange> take();
    // Whether links, addresses or routes changed, or notifications of them
    // were lost, since the last call.
    bool takeConfigurationChanged();
    // The copy, sorted as the platform's table reads are.
    const std::vector<MibIpNetRow>& table();

    // A row's place in the table: its address, then its interface.
    using RowKey = std::pair<IpAddress, std::uint32_t>;
    // A whole read: rows keyed by address, then interface.
    using SortedRows = std::vector<std::pair<RowKey, MibIpNetRow>>;
    // The rows a dump leaves, given its rows and the notifications read along
    // with it in the order they came, sorted as a whole read is.
    static SortedRows rowsAsTheyEnd(std::vector<NeighbourNotice> arrivals);

    // What could not be followed, for the trace and for diagnostics.
    FeedCounts counts() const;
    std::uint64_t overruns() const { return counts().overruns; }
    std::string lastError() const;

private:
    // Address, then interface: the order of the table's rows.
    using Table = std::map<RowKey, MibIpNetRow>;

    // The reading thread: waits on the socket and empties it into the queue.
    void run();
    // With lock_ held: reads what the socket holds into the queue, or past a
    // loss throws it away, since the whole read that follows will cover it.
    // How many notifications came (a loss counting as one), or -1 when the
    // socket failed.
    int drainLocked(int maxCalls);
    void queueLocked(nlmsghdr& message);
    void loseLocked();
    // With lock_ held: makes fd() readable, once, when there is news.
    void signalLocked();
    // Reads the whole table anew on the subscribed socket (lock_ held, or
    // before the thread starts) into `fresh`, and into `during` the
    // notifications that came along with it, in order; false when no
    // complete read could be had.
    bool readWholeLocked(SortedRows& fresh, std::vector<NeighbourNotice>* during = nullptr);
    // Brings the copy in line with a whole read; every difference becomes a change.
    void adopt(const SortedRows& fresh, std::vector<NetTableChange>* changes);
    void apply(const NeighbourNotice& notice, std::vector<NetTableChange>& changes);
    void noteUnreadableLocked(const nlmsghdr& message);

    // Shared with the reading thread, under lock_.
    mutable std::mutex lock_;
    std::unique_ptr<NetlinkSocket> socket_;
    std::deque<NeighbourNotice> queue_;
    std::size_t queueLimit_;  // in notices
    bool lost_ = false;  // notifications were lost since the last whole read
    bool signalled_ = false;  // ready_ holds a wake-up not yet taken
    FeedCounts counts_;
    std::string lastError_;

    // The caller's.
    Table table_;
    // table_ as rows, while rowsCurrent_ says no change came since they were made.
    std::vector<MibIpNetRow> rows_;
    bool rowsCurrent_ = false;
    std::chrono::steady_clock::time_point lastWholeRead_;
    std::uint64_t tracedOverruns_ = 0;

    int ready_ = -1;  // eventfd: what fd() gives
    int stop_ = -1;  // eventfd: ends the thread
    std::thread reader_;
    // The snapshot its user took before subscribing may already be out of
    // date; set by the thread, under the lock.
    bool configurationChanged_ = true;
};

}  // namespace tevra::hostnet
