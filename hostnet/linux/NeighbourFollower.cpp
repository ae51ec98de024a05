#include "hostnet/linux/NeighbourFollower.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/Trace.h"
#include "hostnet/linux/NetlinkSocket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace tevra::hostnet {
namespace {

// A flood must not hold the caller for ever: the rest waits for the next call,
// the socket still readable.
constexpr int kCallsPerTake = 128;
// Lost notifications can hide a change for good only until the next whole
// read; this bounds how long, even if the kernel never reported the loss.
constexpr auto kSafetyNetPeriod = std::chrono::minutes(1);
constexpr int kWholeReadAttempts = 3;

using Table = std::map<std::uint64_t, MibIpNetRow>;

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

}  // namespace

NeighbourFollower::NeighbourFollower(std::unique_ptr<NetlinkSocket> socket)
    : socket_(std::move(socket))
{
}

NeighbourFollower::~NeighbourFollower() = default;

std::unique_ptr<NeighbourFollower> NeighbourFollower::start(std::string& error, int receiveBufferBytes)
{
    std::unique_ptr<NetlinkSocket> socket = NetlinkSocket::subscribe(
        { .groups = { RTNLGRP_NEIGH, RTNLGRP_LINK, RTNLGRP_IPV4_IFADDR, RTNLGRP_IPV4_ROUTE },
            .receiveBufferBytes = receiveBufferBytes },
        error);
    if (!socket) {
        error = "following the neighbour table: " + error;
        return nullptr;
    }
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
    return socket_->fd();
}

std::vector<NetTableChange> NeighbourFollower::take()
{
    std::vector<NetTableChange> changes;
    if (!receive(changes)) {
        ++counts_.overruns;
        trace(kTraceTopic,
            "notifications lost (overrun " + std::to_string(counts_.overruns) + "); reading the table again");
        wholeReadDue_ = true;
    }
    const bool recovering = wholeReadDue_;
    if (recovering || std::chrono::steady_clock::now() - lastWholeRead_ >= kSafetyNetPeriod) {
        const std::size_t before = changes.size();
        if (resynchronise(&changes) && (recovering || changes.size() != before)) {
            ++counts_.resyncs;
            trace(kTraceTopic,
                "table read again (resync " + std::to_string(counts_.resyncs)
                    + "): " + std::to_string(changes.size() - before) + " addresses differed from the copy");
        }
    }
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
    const NetlinkSocket::Drained drained = socket_->drainNotices(
        [&](nlmsghdr& message) {
            if (const std::optional<NeighbourNotice> notice = readNeighbourNotice(message))
                apply(*notice, changes);
            else if (isConfigurationMessage(message))
                configurationChanged_ = true;
            else
                noteUnreadable(message);
        },
        kCallsPerTake);
    if (drained.truncated > 0) {
        counts_.unreadable += drained.truncated;
        trace(kTraceTopic, std::to_string(drained.truncated) + " notifications cut short");
    }
    if (drained.error != 0)
        lastError_ = std::string("following the neighbour table: ") + std::strerror(-drained.error);
    return !drained.lost && drained.error == 0;
}

void NeighbourFollower::noteUnreadable(const nlmsghdr& message)
{
    // Other families' neighbours come on the same group and are not ours to read.
    if (!isIpv4NeighbourMessage(message))
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
        // Notices of links, addresses and routes may have been lost with the others.
        configurationChanged_ = true;
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
    // Dump parts and notifications share this socket's queue in the order the
    // kernel made them, so applying both as they come gives the table as it is
    // when the dump ends.
    std::vector<NeighbourNotice> arrivals;
    const auto collect = [this, &arrivals](nlmsghdr& part) {
        if (std::optional<NeighbourNotice> notice = readNeighbourNotice(part))
            arrivals.push_back(std::move(*notice));
        else if (isConfigurationMessage(part))
            configurationChanged_ = true;
        return true;
    };
    const int status = socket_->exchange(*message, collect, collect);
    if (status != 0) {
        lastError_ = "reading the neighbour table: " + wholeReadFailure(status);
        trace(kTraceTopic, lastError_);
        return false;
    }
    fresh = rowsAsTheyEnd(std::move(arrivals));
    return true;
}

}  // namespace tevra::hostnet
