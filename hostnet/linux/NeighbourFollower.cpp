#include "hostnet/linux/NeighbourFollower.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/linux/NetlinkSocket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace tevra::hostnet {
namespace {

// Dump parts are at most 32 KiB; twice that leaves room for a large message.
constexpr std::size_t kDatagramBufferBytes = 64 * 1024;
// Notifications are read many to a system call: under a flood the calls, not
// the few hundred bytes of each notification, are most of the cost.
constexpr unsigned kNoticesPerCall = 32;
constexpr std::size_t kNoticeSlotBytes = 8 * 1024;
// A flood must not hold the caller for ever: the rest waits for the next call,
// the socket still readable.
constexpr int kCallsPerTake = 4096 / kNoticesPerCall;
// Lost notifications can hide a change for good only until the next whole
// read; this bounds how long, even if the kernel never reported the loss.
constexpr auto kSafetyNetPeriod = std::chrono::minutes(1);
constexpr int kWholeReadAttempts = 3;
constexpr int kDumpWaitMs = 5000;

using Table = std::map<std::uint64_t, MibIpNetRow>;

// Keyed in the order of a whole read, so an address's first row is the one it is decided by.
std::uint64_t rowKey(std::uint32_t address, std::uint32_t interfaceIndex)
{
    return neighbourOrderKey(address, interfaceIndex);
}

// The row a whole read decides an address by: its first in table order.
std::optional<MibIpNetRow> firstRow(const Table& table, std::uint32_t address)
{
    const auto it = table.lower_bound(rowKey(address, 0));
    if (it != table.end() && it->second.dwAddr == address)
        return it->second;
    return std::nullopt;
}

void applyTo(Table& table, const NeighbourNotice& notice)
{
    const std::uint64_t key = rowKey(notice.address, notice.interfaceIndex);
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
    const auto addressOf = [](const auto& it) { return static_cast<std::uint32_t>(it->first >> 32); };
    while (a != before.end() || b != after.end()) {
        const bool takeA = a != before.end() && (b == after.end() || addressOf(a) <= addressOf(b));
        const bool takeB = b != after.end() && (a == before.end() || addressOf(b) <= addressOf(a));
        const std::uint32_t address = takeA ? a->second.dwAddr : b->second.dwAddr;
        const std::uint32_t hostOrder = takeA ? addressOf(a) : addressOf(b);
        std::optional<MibIpNetRow> was;
        std::optional<MibIpNetRow> is;
        if (takeA)
            was = a->second;
        if (takeB)
            is = b->second;
        if (was != is)
            changes.push_back({ address, is });
        while (a != before.end() && addressOf(a) == hostOrder)
            ++a;
        while (b != after.end() && addressOf(b) == hostOrder)
            ++b;
    }
}

void setReceiveBuffer(int fd, int size)
{
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

// One datagram from the kernel into `buffer`: its length, or a negative errno.
ssize_t receiveDatagram(int fd, std::vector<char>& buffer, bool& truncated)
{
    for (;;) {
        sockaddr_nl peer {};
        iovec part { buffer.data(), buffer.size() };
        msghdr received {};
        received.msg_name = &peer;
        received.msg_namelen = sizeof peer;
        received.msg_iov = &part;
        received.msg_iovlen = 1;
        const ssize_t length = recvmsg(fd, &received, MSG_DONTWAIT);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return -errno;
        if (peer.nl_pid != 0)
            continue;  // only the kernel speaks for the table
        truncated = (received.msg_flags & MSG_TRUNC) != 0;
        return length;
    }
}

template<typename Visit> void forEachMessage(char* datagram, ssize_t length, Visit&& visit)
{
    int remaining = static_cast<int>(length);
    for (auto* message = reinterpret_cast<nlmsghdr*>(datagram); nlmsg_ok(message, remaining);
         message = nlmsg_next(message, &remaining))
        visit(*message);
}

}  // namespace

// Room for the datagrams of one receiving call and the headers that describe them.
struct NeighbourFollower::NoticeBatch {
    NoticeBatch()
        : slots(kNoticesPerCall * kNoticeSlotBytes)
    {
    }

    // Datagrams received, or a negative errno; each one's length and flags in `headers`.
    int receive(int fd)
    {
        for (unsigned i = 0; i < kNoticesPerCall; ++i) {
            parts[i] = { &slots[i * kNoticeSlotBytes], kNoticeSlotBytes };
            headers[i] = {};
            headers[i].msg_hdr.msg_name = &peers[i];
            headers[i].msg_hdr.msg_namelen = sizeof peers[i];
            headers[i].msg_hdr.msg_iov = &parts[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        for (;;) {
            const int count = recvmmsg(fd, headers.data(), kNoticesPerCall, MSG_DONTWAIT, nullptr);
            if (count >= 0 || errno != EINTR)
                return count >= 0 ? count : -errno;
        }
    }

    char* datagram(int i) { return &slots[std::size_t(i) * kNoticeSlotBytes]; }

    std::vector<char> slots;
    std::array<iovec, kNoticesPerCall> parts {};
    std::array<sockaddr_nl, kNoticesPerCall> peers {};
    std::array<mmsghdr, kNoticesPerCall> headers {};
};

NeighbourFollower::NeighbourFollower(NlSocketPtr socket)
    : socket_(std::move(socket))
    , buffer_(kDatagramBufferBytes)
    , batch_(std::make_unique<NoticeBatch>())
{
}

NeighbourFollower::~NeighbourFollower() = default;

std::unique_ptr<NeighbourFollower> NeighbourFollower::start(std::string& error, int receiveBufferBytes)
{
    NlSocketPtr socket(nl_socket_alloc());
    if (!socket) {
        error = "following the neighbour table: out of memory";
        return nullptr;
    }
    int status = nl_connect(socket.get(), NETLINK_ROUTE);
    if (status >= 0)
        status = nl_socket_add_membership(socket.get(), RTNLGRP_NEIGH);
    if (status >= 0)
        status = nl_socket_set_nonblocking(socket.get());
    if (status < 0) {
        error = std::string("following the neighbour table: ") + nl_geterror(status);
        return nullptr;
    }
    setReceiveBuffer(nl_socket_get_fd(socket.get()), receiveBufferBytes);
    auto follower = std::make_unique<NeighbourFollower>(std::move(socket));
    // Subscribed before this first read, so no change made meanwhile is missed.
    if (!follower->resynchronise(nullptr)) {
        error = follower->lastError_;
        return nullptr;
    }
    return follower;
}

int NeighbourFollower::fd() const
{
    return nl_socket_get_fd(socket_.get());
}

std::vector<NetTableChange> NeighbourFollower::take()
{
    std::vector<NetTableChange> changes;
    if (!receive(changes)) {
        ++overruns_;
        wholeReadDue_ = true;
    }
    if (wholeReadDue_ || std::chrono::steady_clock::now() - lastWholeRead_ >= kSafetyNetPeriod)
        resynchronise(&changes);
    return changes;
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

bool NeighbourFollower::receive(std::vector<NetTableChange>& changes)
{
    bool complete = true;
    for (int call = 0; call < kCallsPerTake; ++call) {
        const int count = batch_->receive(fd());
        if (count == -EAGAIN || count == -EWOULDBLOCK)
            break;
        if (count < 0) {
            // ENOBUFS: the kernel dropped notifications; the rest queued is still good.
            complete = false;
            if (count != -ENOBUFS) {
                lastError_ = std::string("following the neighbour table: ") + std::strerror(-count);
                break;
            }
            continue;
        }
        for (int i = 0; i < count; ++i) {
            const mmsghdr& received = batch_->headers[std::size_t(i)];
            if (batch_->peers[std::size_t(i)].nl_pid != 0)
                continue;  // only the kernel speaks for the table
            if ((received.msg_hdr.msg_flags & MSG_TRUNC) != 0) {
                complete = false;
                continue;
            }
            forEachMessage(batch_->datagram(i), received.msg_len, [&](nlmsghdr& message) {
                if (const std::optional<NeighbourNotice> notice = readNeighbourNotice(message))
                    apply(*notice, changes);
            });
        }
        // Fewer than asked for: the queue is empty, or an error waits for the next call.
        if (count < int(kNoticesPerCall))
            break;
    }
    return complete;
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

bool NeighbourFollower::resynchronise(std::vector<NetTableChange>* changes)
{
    for (int attempt = 0; attempt < kWholeReadAttempts; ++attempt) {
        SortedRows fresh;
        if (!readWhole(fresh))
            continue;
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
        wholeReadDue_ = false;
        return true;
    }
    wholeReadDue_ = true;
    return false;
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
        const std::uint64_t key = keyOf(arrivals[i]);
        if ((i + 1 == arrivals.size() || keyOf(arrivals[i + 1]) != key) && arrivals[i].row)
            rows.emplace_back(key, *arrivals[i].row);
    }
    return rows;
}

bool NeighbourFollower::readWhole(SortedRows& fresh)
{
    ndmsg request {};
    request.ndm_family = AF_INET;
    const NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_GETNEIGH, NLM_F_REQUEST | NLM_F_DUMP, &request, sizeof request);
    if (!message) {
        lastError_ = "reading the neighbour table: out of memory";
        return false;
    }
    nlmsghdr* const header = nlmsg_hdr(message.get());
    const std::uint32_t sequence = nl_socket_use_seq(socket_.get());
    const std::uint32_t port = nl_socket_get_local_port(socket_.get());
    header->nlmsg_seq = sequence;
    header->nlmsg_pid = port;
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd(), header, header->nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel)
        < 0) {
        lastError_ = std::string("reading the neighbour table: ") + std::strerror(errno);
        return false;
    }
    // Dump parts and notifications share this socket's queue in the order the
    // kernel made them, so applying both as they come gives the table as it is
    // when the dump ends.
    std::vector<NeighbourNotice> arrivals;
    bool done = false;
    bool good = true;
    while (!done) {
        bool truncated = false;
        const ssize_t length = receiveDatagram(fd(), buffer_, truncated);
        if (length == -EAGAIN || length == -EWOULDBLOCK) {
            pollfd wait { fd(), POLLIN, 0 };
            if (poll(&wait, 1, kDumpWaitMs) <= 0) {
                lastError_ = "reading the neighbour table: no answer from the kernel";
                return false;
            }
            continue;
        }
        if (length < 0 || truncated) {
            good = false;  // lost notifications: finish this dump, then read again
            if (length < 0 && length != -ENOBUFS) {
                lastError_ = std::string("reading the neighbour table: ") + std::strerror(int(-length));
                return false;
            }
            continue;
        }
        forEachMessage(buffer_.data(), length, [&](nlmsghdr& part) {
            const bool ours = part.nlmsg_seq == sequence && part.nlmsg_pid == port;
            if (ours && (part.nlmsg_flags & NLM_F_DUMP_INTR) != 0)
                good = false;
            if (ours && (part.nlmsg_type == NLMSG_DONE || part.nlmsg_type == NLMSG_ERROR)) {
                const bool failed = part.nlmsg_type == NLMSG_ERROR && nlmsg_datalen(&part) >= int(sizeof(int))
                    && *static_cast<const int*>(nlmsg_data(&part)) < 0;
                if (failed) {
                    good = false;
                    lastError_ = "reading the neighbour table: refused by the kernel";
                }
                done = true;
                return;
            }
            if (std::optional<NeighbourNotice> notice = readNeighbourNotice(part))
                arrivals.push_back(std::move(*notice));
        });
    }
    if (!good) {
        if (lastError_.empty())
            lastError_ = "reading the neighbour table: changes were lost while reading";
        return false;
    }
    fresh = rowsAsTheyEnd(std::move(arrivals));
    return true;
}

}  // namespace tevra::hostnet
