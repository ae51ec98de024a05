// SPDX-License-Identifier: GPL-3.0-or-later
// The least a program can spend reading the neighbour table: one netlink
// dump read to its end without looking at the entries. Prints the CPU time of
// one dump (user and system; the kernel fills a dump in the reader's
// receiving call), averaged over the repeats, in nanoseconds, and the entries.
//
//   bare_dump [repeats, default 20] [all]   run inside the namespace whose table it reads;
//                                           "all": both families, else IPv4 alone
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

namespace {

double processCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

// Entries of one whole dump; -1 when it failed.
long dumpOnce(int fd, std::vector<char>& buffer, unsigned sequence, unsigned char family)
{
    struct {
        nlmsghdr header;
        ndmsg body;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.body.ndm_family = family;
    if (send(fd, &request, sizeof request, 0) != ssize_t(sizeof request))
        return -1;
    long entries = 0;
    for (;;) {
        const ssize_t length = recv(fd, buffer.data(), buffer.size(), 0);
        if (length <= 0)
            return -1;
        int left = int(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_type == NLMSG_DONE)
                return entries;
            if (header->nlmsg_type == NLMSG_ERROR)
                return -1;
            ++entries;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
    const unsigned char family = argc > 2 && std::string_view(argv[2]) == "all" ? AF_UNSPEC : AF_INET;
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0 || repeats < 1) {
        std::perror("bare_dump");
        return 1;
    }
    std::vector<char> buffer(64 * 1024);
    long entries = dumpOnce(fd, buffer, 1, family);  // the first warms the caches, as a watcher's have been
    const double start = processCpuNs();
    for (int i = 0; i < repeats && entries >= 0; ++i)
        entries = dumpOnce(fd, buffer, unsigned(i) + 2, family);
    const double perDump = (processCpuNs() - start) / repeats;
    close(fd);
    if (entries < 0) {
        std::fprintf(stderr, "bare_dump: the dump failed\n");
        return 1;
    }
    std::printf("%.0f %ld\n", perDump, entries);
    return 0;
}
