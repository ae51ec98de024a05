// SPDX-License-Identifier: GPL-3.0-or-later
// Flushing a large table over many interfaces: the engine's flush of every
// adapter against what it cannot avoid, one read of the table plus one delete
// per entry, measured alternately in one run; medians compared. Also, once,
// the flush of each interface on its own, which reads the table each time.
// The table lives in a network namespace made for the run and removed
// afterwards; its entries are stale and never used, so nothing is sent.
// Needs root. Target: ratio <= 2.
//
//   build/bench/bench_flush [interfaces entries runs]     400 50000 3 by default
#include "engine/MappingWatcher.h"
#include "hostnet/linux/LinuxIpHelper.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool run(std::vector<std::string> command)
{
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& argument : command)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool batch(const std::string& ns, const std::vector<std::string>& lines)
{
    const std::string file = "/tmp/tevra-bench-flush-" + std::to_string(getpid());
    {
        std::ofstream out(file);
        for (const std::string& line : lines)
            out << line << '\n';
    }
    const bool ok = run({ "ip", "-n", ns, "-batch", file });
    std::remove(file.c_str());
    return ok;
}

// Entries spread evenly over the interfaces; extern_learn keeps the kernel's
// garbage collector (1,024 entries by default) from refusing them.
std::vector<std::string> fillLines(int interfaces, int entries)
{
    std::vector<std::string> lines;
    lines.reserve(std::size_t(entries));
    for (int i = 0; i < entries; ++i) {
        const int host = i + 1;
        char line[160];
        std::snprintf(line, sizeof line,
            "neigh add 10.%d.%d.%d lladdr 02:00:%02x:%02x:%02x:%02x dev v%d nud stale extern_learn",
            100 + (host >> 16), (host >> 8) & 255, host & 255, (host >> 24) & 255, (host >> 16) & 255,
            (host >> 8) & 255, host & 255, i % interfaces);
        lines.push_back(line);
    }
    return lines;
}

double millisSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string list(const std::vector<double>& values)
{
    std::string text;
    for (const double value : values)
        text += std::to_string(int(value)) + " ";
    return text;
}

// One dump and one delete per entry, through the same host layer.
double dumpAndDelete()
{
    tevra::hostnet::LinuxIpHelper host;
    const auto start = Clock::now();
    const auto table = host.getIpNetTable().rows;
    if (!table)
        return -1;
    for (const tevra::hostnet::MibIpNetRow& row : *table)
        host.deleteIpNetEntry(row);
    return millisSince(start);
}

double engineFlush()
{
    tevra::CMappingWatcher watcher(std::make_unique<tevra::hostnet::LinuxIpHelper>());
    const auto start = Clock::now();
    const std::int32_t status = watcher.flushSystemCache();
    return status == 0 ? millisSince(start) : -1;
}

double flushEachInterface()
{
    tevra::hostnet::LinuxIpHelper host;
    const auto start = Clock::now();
    const auto adapters = host.getAdaptersInfo().rows;
    if (!adapters)
        return -1;
    for (const tevra::hostnet::IpAdapterInfo& adapter : *adapters)
        host.flushIpNetTable(adapter.Index);
    return millisSince(start);
}

std::size_t tableSize()
{
    tevra::hostnet::LinuxIpHelper host;
    return host.getIpNetTable().rows.value_or(std::vector<tevra::hostnet::MibIpNetRow> {}).size();
}

int measure(const std::string& ns, int interfaces, int entries, int runs)
{
    std::vector<std::string> links;
    for (int i = 0; i < interfaces; ++i) {
        links.push_back("link add v" + std::to_string(i) + " type veth peer name p" + std::to_string(i));
        links.push_back("link set v" + std::to_string(i) + " up");
        links.push_back("link set p" + std::to_string(i) + " up");
    }
    const std::vector<std::string> fill = fillLines(interfaces, entries);
    if (!batch(ns, links) || !batch(ns, fill)) {
        std::fprintf(stderr, "bench_flush: setting up the namespace failed\n");
        return 1;
    }
    std::printf("entries in the table: %zu on %d interfaces (and their %d peers)\n", tableSize(), interfaces,
        interfaces);

    std::vector<double> reference;
    std::vector<double> flush;
    for (int r = 0; r < runs; ++r) {
        reference.push_back(dumpAndDelete());
        if (tableSize() != 0 || !batch(ns, fill))
            return 1;
        flush.push_back(engineFlush());
        if (tableSize() != 0 || !batch(ns, fill))
            return 1;
        if (reference.back() < 0 || flush.back() < 0) {
            std::fprintf(stderr, "bench_flush: a flush failed\n");
            return 1;
        }
    }
    const double each = flushEachInterface();
    std::printf("one dump + %d deletes (ms):   %s\n", entries, list(reference).c_str());
    std::printf("flushSystemCache (ms):        %s\n", list(flush).c_str());
    std::printf("median one dump + deletes:    %.0f ms\n", median(reference));
    std::printf("median flushSystemCache:      %.0f ms\n", median(flush));
    std::printf("ratio: %.2f (target <= 2)\n", median(flush) / median(reference));
    std::printf("one flushIpNetTable per interface, once: %.0f ms\n", each);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int interfaces = argc > 1 ? std::atoi(argv[1]) : 400;
    const int entries = argc > 2 ? std::atoi(argv[2]) : 50000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_flush: needs root for a network namespace\n");
        return 1;
    }
    const std::string ns = "tevra-bench-flush-" + std::to_string(getpid());
    if (!run({ "ip", "netns", "add", ns })) {
        std::fprintf(stderr, "bench_flush: cannot make a network namespace\n");
        return 1;
    }
    int status = 1;
    const int target = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (target >= 0 && setns(target, CLONE_NEWNET) == 0)
        status = measure(ns, interfaces, entries, runs);
    else
        std::fprintf(stderr, "bench_flush: cannot enter the namespace\n");
    if (target >= 0)
        close(target);
    run({ "ip", "netns", "del", ns });
    return status;
}
