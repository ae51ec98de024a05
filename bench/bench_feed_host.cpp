// SPDX-License-Identifier: GPL-3.0-or-later
// The host layer's cost per change: in a network namespace made for the run,
// `ip -batch` makes the changes while only the feed's own thread reads them;
// then the CPU time of that reading and of taking them all from the feed
// (take) is held against a bare subscribed socket
// reading the same notifications one per call without looking at them (as
// ip monitor receives them), and against one row of a whole table read. Needs root; the namespaces are
// removed at the end.
//
//   bench_feed_host [changes per round, default 18000] [rounds, default 5]
#include "Command.h"
#include "NamespacePair.h"
#include "hostnet/linux/LinuxIpHelper.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tevra::test::NamespacePair;

constexpr int kAddresses = 1000;
constexpr int kTableReads = 20;

// The whole process's: the feed reads its socket on a thread of its own.
double cpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

std::string addressText(int i)
{
    return "10.66." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
}

// A MAC no earlier pass used for this address.
std::string macText(int i, int pass)
{
    char text[18];
    std::snprintf(text, sizeof text, "02:%02x:%02x:%02x:%02x:%02x", pass >> 8 & 255, pass & 255, i >> 8 & 255,
        i & 255, 0x42);
    return text;
}

bool runBatch(const NamespacePair& namespaces, const std::string& verb, int firstPass, int changes)
{
    char path[] = "/tmp/tevra-bench-batch-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return false;
    close(fd);
    {
        std::ofstream batch(path);
        for (int n = 0; n < changes; ++n)
            batch << "neigh " << verb << ' ' << addressText(n % kAddresses) << " lladdr "
                  << macText(n % kAddresses, firstPass + n / kAddresses) << " dev veth0 nud permanent\n";
    }
    const bool ok = namespaces.ipInHost({ "-batch", path });
    unlink(path);
    return ok;
}

// Subscribed like the feed, with the same buffer, but reads without parsing.
int bareListener()
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_NEIGH;
    const int size = tevra::hostnet::NeighbourFollower::kReceiveBufferBytes;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        return -1;
    return fd;
}

// Messages read to the end of the queue; -1 when some were lost.
long drainBare(int fd)
{
    static std::vector<char> buffer(64 * 1024);
    long messages = 0;
    for (;;) {
        const ssize_t length = recv(fd, buffer.data(), buffer.size(), 0);
        if (length < 0)
            return errno == EAGAIN ? messages : -1;
        int left = int(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left))
            ++messages;
    }
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int changes = argc > 1 ? std::atoi(argv[1]) : 18000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (!NamespacePair::available()) {
        std::fprintf(stderr, "bench_feed_host: needs root for a network namespace\n");
        return 1;
    }
    if (changes < kAddresses || rounds < 1) {
        std::fprintf(stderr, "bench_feed_host: at least %d changes and one round\n", kAddresses);
        return 1;
    }
    NamespacePair namespaces;
    if (!namespaces.ok()) {
        std::fprintf(stderr, "bench_feed_host: %s\n", namespaces.error.c_str());
        return 1;
    }
    const tevra::test::NamespaceEntry inside(namespaces.hostName());
    if (!inside.ok() || !runBatch(namespaces, "add", 0, kAddresses)) {
        std::fprintf(stderr, "bench_feed_host: cannot fill the table\n");
        return 1;
    }
    tevra::hostnet::LinuxIpHelper feed;
    const int bare = bareListener();
    const tevra::hostnet::ActionResult opened = feed.open();
    if (!opened.ok() || bare < 0) {
        std::fprintf(stderr, "bench_feed_host: cannot subscribe: %s\n", opened.reason.c_str());
        return 1;
    }

    std::vector<double> feedNs;
    std::vector<double> bareNs;
    bool complete = true;
    for (int round = 0; round < rounds; ++round) {
        const int firstPass = 1 + round * (changes / kAddresses + 1);
        // From before the batch: the feed's thread reads while it runs.
        double start = cpuNs();
        if (!runBatch(namespaces, "replace", firstPass, changes)) {
            std::fprintf(stderr, "bench_feed_host: ip -batch failed\n");
            return 1;
        }
        long taken = 0;
        for (std::size_t got; (got = feed.take().size()) > 0;)
            taken += long(got);
        feedNs.push_back((cpuNs() - start) / changes);
        start = cpuNs();
        const long read = drainBare(bare);
        bareNs.push_back((cpuNs() - start) / changes);
        std::printf("round %d: %ld changes taken, %ld notifications read bare, of %d made\n", round + 1,
            taken, read, changes);
        complete = complete && taken == changes && read == changes;
    }

    // A whole read of the same table without the feed, per row.
    tevra::hostnet::LinuxIpHelper reader;
    double start = cpuNs();
    std::size_t rows = 0;
    for (int i = 0; i < kTableReads; ++i)
        rows = reader.getIpNetTable().rows.value_or(std::vector<tevra::hostnet::MibIpNetRow> {}).size();
    const double rowNs = (cpuNs() - start) / kTableReads / double(std::max<std::size_t>(rows, 1));

    const double takeMedian = median(feedNs);
    const double bareMedian = median(bareNs);
    std::printf("take: median %.0f ns CPU per change over %d rounds of %d (feed overruns: %llu)\n",
        takeMedian, rounds, changes, static_cast<unsigned long long>(feed.feedOverruns()));
    std::printf("bare subscribed socket, one notification a call, unread: median %.0f ns each\n", bareMedian);
    std::printf("whole table read without the feed: %.0f ns per row (%zu rows)\n", rowNs, rows);
    std::printf("ratio take / bare read: %.2f; take / one row of a whole read: %.2f\n",
        takeMedian / bareMedian, takeMedian / rowNs);
    std::printf(
        "(no target of its own; the flood's target is the whole tevra-watch <= 1.5x ip monitor neigh)\n");
    if (!complete)
        std::printf("NOT COMPLETE: a change was lost or doubled\n");
    close(bare);
    return complete ? 0 : 1;
}
