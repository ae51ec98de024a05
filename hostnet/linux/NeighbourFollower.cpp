// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/NeighbourFollower.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/Trace.h"
#include "hostnet/linux/NetlinkSocket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string_view>
#include <system_error>

namespace tevra::hostnet {
namespace {

// A flood must not hold the lock for ever: the rest waits for the next round,
// the socket still readable.
constexpr int kCallsPerTake = 128;
// Lost notifications can hide a change for good only until the next whole
// read; this bounds how long, even if the kernel never reported the loss.
constexpr int kWholeReadAttempts = 3;
// Notices applied by one take; the rest wait for the next, the descriptor still readable.
constexpr std::size_t kNoticesPerTake = 8192;
// How long the reading thread rests after the socket failed.
constexpr int kFailurePauseMs = 1000;

using Table = std::map<NeighbourFollower::RowKey, MibIpNetRow>;

constexpr std::string_view kTraceTopic = "netlink";

std::string wholeReadFailure(int status)
{
    switch (-status) {
    case EAGAIN:
    case ENOBUFS:
        return "changes were lost while reading";
    case ETIMEDOUT:
        return "no answer from the kernel";
    default:
        return std::strerror(-status);
    }
}

// Keyed in the order of a whole read, so an address's first row is the one it is decided by.
NeighbourFollower::RowKey rowKey(const IpAddress& address, std::uint32_t interfaceIndex)
{
    return { address, interfaceIndex };
}

// The row a whole read decides an address by: its first in table order.
std::optional<MibIpNetRow> firstRow(const Table& table, const IpAddress& address)
{
    const auto it = table.lower_bound(rowKey(address, 0));
    if (it != table.end() && it->second.address == address)
        return it->second;
    return std::nullopt;
}

void applyTo(Table& table, const NeighbourNotice& notice)
{
    const NeighbourFollower::RowKey key = rowKey(notice.address, notice.interfaceIndex);
    if (notice.row)
        table.insert_or_assign(key, *notice.row);
    else
        table.erase(key);
}

// Every address whose deciding row differs between the two copies, in address order.
void appendDifferences(
    const Table& before, const NeighbourFollower::SortedRows& after, std::vector<NetTableChange>& changes)
{
    auto a = before.begin();
    auto b = after.begin();
    const auto addressOf = [](const auto& it) -> const IpAddress& { return it->first.first; };
    while (a != before.end() || b != after.end()) {
        const bool takeA = a != before.end() && (b == after.end() || addressOf(a) <= addressOf(b));
        const bool takeB = b != after.end() && (a == before.end() || addressOf(b) <= addressOf(a));
        const IpAddress address = takeA ? addressOf(a) : addressOf(b);
        std::optional<MibIpNetRow> was;
        std::optional<MibIpNetRow> is;
        if (takeA)
            was = a->second;
        if (takeB)
            is = b->second;
        if (was != is)
            changes.push_back({ address, is });
        while (a != before.end() && addressOf(a) == address)
            ++a;
        while (b != after.end() && addressOf(b) == address)
            ++b;
    }
}

}  // namespace

NeighbourFollower::NeighbourFollower(std::unique_ptr<NetlinkSocket> socket, std::size_t queueBytes)
    : socket_(std::move(socket))
    , queueLimit_(std::max<std::size_t>(queueBytes / sizeof(NeighbourNotice), 1))
    , ready_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , stop_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

NeighbourFollower::~NeighbourFollower()
{
    if (reader_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot block or fail short of an overflow it cannot reach.
        [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
        reader_.join();
    }
    for (const int fd : { ready_, stop_ })
        if (fd >= 0)
            close(fd);
}

std::unique_ptr<NeighbourFollower> NeighbourFollower::start(
    std::string& error, int receiveBufferBytes, std::size_t queueBytes)
{
    std::unique_ptr<NetlinkSocket> socket
        = NetlinkSocket::subscribe({ .groups = { RTNLGRP_NEIGH, RTNLGRP_LINK, RTNLGRP_IPV4_IFADDR,
                                         RTNLGRP_IPV4_ROUTE, RTNLGRP_IPV6_IFADDR, RTNLGRP_IPV6_ROUTE },
                                       .receiveBufferBytes = receiveBufferBytes },
            error);
    if (!socket) {
        error = "following the neighbour table: " + error;
        return nullptr;
    }
    auto follower = std::make_unique<NeighbourFollower>(std::move(socket), queueBytes);
    if (follower->ready_ < 0 || follower->stop_ < 0) {
        error = std::string("following the neighbour table: ") + std::strerror(errno);
        return nullptr;
    }
    // Subscribed before this first read, so no change made meanwhile is missed.
    SortedRows fresh;
    {
        const std::lock_guard guard(follower->lock_);
        if (!follower->readWholeLocked(fresh)) {
            error = follower->lastError_;
            return nullptr;
        }
    }
    follower->adopt(fresh, nullptr);
    try {
        follower->reader_ = std::thread(&NeighbourFollower::run, follower.get());
    } catch (const std::system_error& failure) {
        error = std::string("following the neighbour table: no thread to read it: ") + failure.what();
        return nullptr;
    }
    return follower;
}

int NeighbourFollower::fd() const
{
    return ready_;
}

void NeighbourFollower::run()
{
    pollfd waits[] = { { socket_->fd(), POLLIN, 0 }, { stop_, POLLIN, 0 } };
    for (;;) {
        if (poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (waits[1].revents != 0)
            return;
        if (waits[0].revents == 0)
            continue;
        bool failed = false;
        {
            const std::lock_guard guard(lock_);
            const int handled = drainLocked(kCallsPerTake);
            failed = handled < 0;
            if (handled != 0)
                signalLocked();
        }
        // A socket that keeps failing is not spun on; the caller's whole reads
        // say what is wrong, and a stop still ends the wait.
        if (failed && poll(&waits[1], 1, kFailurePauseMs) > 0)
            return;
    }
}

int NeighbourFollower::drainLocked(int maxCalls)
{
    int handled = 0;
    const NetlinkSocket::Drained drained = socket_->drainNotices(
        [&](nlmsghdr& message) {
            ++handled;
            queueLocked(message);
        },
        maxCalls);
    if (drained.truncated > 0) {
        counts_.unreadable += drained.truncated;
        trace(kTraceTopic, std::to_string(drained.truncated) + " notifications cut short");
    }
    if (drained.lost || drained.error != 0)
        loseLocked();
    if (drained.error != 0) {
        lastError_ = std::string("following the neighbour table: ") + std::strerror(-drained.error);
        return -1;
    }
    return drained.lost ? handled + 1 : handled;
}

void NeighbourFollower::queueLocked(nlmsghdr& message)
{
    std::optional<NeighbourNotice> notice = readNeighbourNotice(message);
    if (!notice) {
        if (isConfigurationMessage(message))
            configurationChanged_ = true;
        else
            noteUnreadableLocked(message);
        return;
    }
    // Past a loss, the whole read to come covers what follows.
    if (lost_)
        return;
    if (queue_.size() >= queueLimit_) {
        loseLocked();
        return;
    }
    queue_.push_back(std::move(*notice));
}

void NeighbourFollower::loseLocked()
{
    if (lost_)
        return;
    lost_ = true;
    ++counts_.overruns;
    // Notices of links, addresses and routes were lost with the others.
    configurationChanged_ = true;
}

void NeighbourFollower::signalLocked()
{
    if (signalled_)
        return;
    signalled_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(ready_, &one, sizeof one);
}

std::vector<NetTableChange> NeighbourFollower::take()
{
    std::vector<NeighbourNotice> notices;
    std::vector<NeighbourNotice> duringRead;
    SortedRows fresh;
    bool reread = false;
    bool recovering = false;
    std::uint64_t overruns = 0;
    {
        const std::lock_guard guard(lock_);
        std::uint64_t pending = 0;
        [[maybe_unused]] const ssize_t cleared = read(ready_, &pending, sizeof pending);
        signalled_ = false;
        // What the kernel has sent by now is taken too, not only what the
        // thread happened to have read.
        drainLocked(kCallsPerTake);
        const auto end = queue_.begin() + std::ptrdiff_t(std::min(queue_.size(), kNoticesPerTake));
        notices.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(end));
        queue_.erase(queue_.begin(), end);
        overruns = counts_.overruns;
        // A whole read stands for the table after every notification queued
        // before it, so it waits until they are all taken.
        if (queue_.empty()) {
            recovering = lost_;
            if (recovering || std::chrono::steady_clock::now() - lastWholeRead_ >= safetyNetPeriod) {
                reread = readWholeLocked(fresh, &duringRead);
                lost_ = !reread;
            }
        } else {
            signalLocked();
        }
    }
    if (overruns > tracedOverruns_) {
        tracedOverruns_ = overruns;
        trace(kTraceTopic,
            "notifications lost (overrun " + std::to_string(overruns) + "); reading the table again");
    }
    std::vector<NetTableChange> changes;
    for (const NeighbourNotice& notice : notices)
        apply(notice, changes);
    // What came while the table was read is each a change of its own; the
    // read then finds only what the notifications did not say.
    for (const NeighbourNotice& notice : duringRead)
        apply(notice, changes);
    if (reread) {
        const std::size_t before = changes.size();
        adopt(fresh, &changes);
        if (recovering || changes.size() != before) {
            std::uint64_t resyncs = 0;
            {
                const std::lock_guard guard(lock_);
                resyncs = ++counts_.resyncs;
            }
            trace(kTraceTopic,
                "table read again (resync " + std::to_string(resyncs)
                    + "): " + std::to_string(changes.size() - before) + " addresses differed from the copy");
        }
    }
    return changes;
}

bool NeighbourFollower::takeConfigurationChanged()
{
    const std::lock_guard guard(lock_);
    return std::exchange(configurationChanged_, false);
}

FeedCounts NeighbourFollower::counts() const
{
    const std::lock_guard guard(lock_);
    return counts_;
}

std::string NeighbourFollower::lastError() const
{
    const std::lock_guard guard(lock_);
    return lastError_;
}

const std::vector<MibIpNetRow>& NeighbourFollower::table()
{
    // The copy's nodes lie in the order the kernel dumped them, not in address
    // order, so walking it misses the caches at nearly every row; a watcher
    // asks for the table every period, and when nothing changed it gets the
    // rows made last time.
    if (!rowsCurrent_) {
        rows_.clear();
        rows_.reserve(table_.size());
        for (const auto& [key, row] : table_)
            rows_.push_back(row);
        rowsCurrent_ = true;
    }
    return rows_;
}

void NeighbourFollower::noteUnreadableLocked(const nlmsghdr& message)
{
    // Other families' neighbours (a bridge's forwarding entries) come on the
    // same group and are not ours to read.
    if (!isIpNeighbourMessage(message))
        return;
    ++counts_.unreadable;
    trace(kTraceTopic,
        "unreadable neighbour notification of type " + std::to_string(message.nlmsg_type) + " ("
            + std::to_string(counts_.unreadable) + " so far)");
}

void NeighbourFollower::apply(const NeighbourNotice& notice, std::vector<NetTableChange>& changes)
{
    std::optional<MibIpNetRow> before = firstRow(table_, notice.address);
    applyTo(table_, notice);
    rowsCurrent_ = false;
    std::optional<MibIpNetRow> after = firstRow(table_, notice.address);
    // A row on another interface than the deciding one, or a state change
    // that keeps the row as it reads, is no change of the mapping.
    if (before != after)
        changes.push_back({ notice.address, std::move(after) });
}

void NeighbourFollower::adopt(const SortedRows& fresh, std::vector<NetTableChange>* changes)
{
    // The once-a-minute read nearly always finds the copy right; then the
    // copy, and the rows made from it, stay as they are.
    const bool same = std::ranges::equal(table_, fresh, [](const auto& kept, const auto& read) {
        return kept.first == read.first && kept.second == read.second;
    });
    if (!same) {
        if (changes != nullptr)
            appendDifferences(table_, fresh, *changes);
        // Built in address order, so its nodes lie in the order walks take them.
        table_ = Table(fresh.begin(), fresh.end());
        rowsCurrent_ = false;
    }
    lastWholeRead_ = std::chrono::steady_clock::now();
}

NeighbourFollower::SortedRows NeighbourFollower::rowsAsTheyEnd(std::vector<NeighbourNotice> arrivals)
{
    // Each notice speaks for its row alone, so sorted by row with the arrivals
    // of one row kept in order, the last word on each row is the row as it is.
    const auto keyOf
        = [](const NeighbourNotice& notice) { return rowKey(notice.address, notice.interfaceIndex); };
    std::ranges::stable_sort(arrivals, {}, keyOf);
    SortedRows rows;
    rows.reserve(arrivals.size());
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const RowKey key = keyOf(arrivals[i]);
        if ((i + 1 == arrivals.size() || keyOf(arrivals[i + 1]) != key) && arrivals[i].row)
            rows.emplace_back(key, *arrivals[i].row);
    }
    return rows;
}

bool NeighbourFollower::readWholeLocked(SortedRows& fresh, std::vector<NeighbourNotice>* during)
{
    for (int attempt = 0; attempt < kWholeReadAttempts; ++attempt) {
        // Dump parts and notifications share this socket's queue in the order the
        // kernel made them, so applying both as they come gives the table as it is
        // when the dumps end. One dump per family: one of every family would
        // also bring each bridge's forwarding table.
        std::vector<NeighbourNotice> arrivals;
        if (during != nullptr)
            during->clear();
        const auto collect = [&arrivals](nlmsghdr& part) {
            if (std::optional<NeighbourNotice> notice = readNeighbourNotice(part))
                arrivals.push_back(std::move(*notice));
            return true;
        };
        const auto collectNotice = [&](nlmsghdr& part) {
            if (std::optional<NeighbourNotice> notice = readNeighbourNotice(part)) {
                if (during != nullptr)
                    during->push_back(*notice);
                arrivals.push_back(std::move(*notice));
            } else if (isConfigurationMessage(part)) {
                configurationChanged_ = true;
            }
        };
        int status = 0;
        for (const std::uint8_t family : { std::uint8_t(AF_INET), std::uint8_t(AF_INET6) }) {
            ndmsg request {};
            request.ndm_family = family;
            const NlMsgPtr message = NetlinkSocket::makeDumpRequest(RTM_GETNEIGH, &request, sizeof request);
            if (!message) {
                lastError_ = "reading the neighbour table: out of memory";
                return false;
            }
            status = socket_->exchange(*message, collect, collectNotice);
            if (status != 0)
                break;
        }
        if (status == 0) {
            fresh = rowsAsTheyEnd(std::move(arrivals));
            // A whole read is also when the configuration is looked at again,
            // in case its notices went astray unnoticed.
            configurationChanged_ = true;
            return true;
        }
        lastError_ = "reading the neighbour table: " + wholeReadFailure(status);
        trace(kTraceTopic, lastError_);
    }
    return false;
}

}  // namespace tevra::hostnet
