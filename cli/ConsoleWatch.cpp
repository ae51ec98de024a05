#include "cli/ConsoleWatch.h"

#include "cli/StopSignals.h"
#include "engine/MappingCells.h"
#include "engine/Version.h"

#include <chrono>
#include <vector>

namespace tevra::cli {

ConsoleWatch::ConsoleWatch(std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, Clock clock)
    : watcher_(std::move(host), std::move(clock))
{
    watcher_.clearProgramCache();
    watcher_.loadVendorTable();
    watcher_.sink.userData = out;
    watcher_.sink.callback = printAlert;
}

void ConsoleWatch::printAlert(std::unique_ptr<WatchEvent> event, void* out)
{
    auto* const stream = static_cast<std::FILE*>(out);
    std::fprintf(stream, "%u - %s\n", event->serial, event->text.c_str());
    std::fflush(stream);
}

std::int32_t ConsoleWatch::refresh()
{
    return watcher_.refresh();
}

int ConsoleWatch::openChangeFeed()
{
    return watcher_.ipHelper().openChangeFeed();
}

void ConsoleWatch::followChanges()
{
    watcher_.followChanges();
}

std::string ConsoleWatch::lastError()
{
    const std::string reason = watcher_.ipHelper().lastError();
    return reason.empty() ? "unknown error" : reason;
}

std::string ConsoleWatch::tableText() const
{
    // The program cache is in dotted order already, as the window lists it.
    std::vector<MappingCells> rows;
    rows.reserve(watcher_.programCache.size());
    for (const auto& [address, entry] : watcher_.programCache)
        rows.push_back(mappingCellTexts(*entry, watcher_.networkConfig));
    return mappingTableText(mappingHeadings(), rows, "\n");
}

int runWatch(
    const WatchOptions& options, std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, std::FILE* err)
{
    if (options.mode == WatchOptions::Mode::Help) {
        std::fputs(usageText().c_str(), out);
        return 0;
    }
    if (options.mode == WatchOptions::Mode::Version) {
        std::fprintf(out, "tevra-watch %s\n", kVersion);
        return 0;
    }
    // Installed before the first read, so that a stop asked for during start-up
    // or during --once still ends the program cleanly after that read.
    StopSignals stop;
    ConsoleWatch console(std::move(host), out);
    // Opened before the first read, so that no change after it goes unseen.
    const int feed = options.once ? -1 : console.openChangeFeed();
    if (console.refresh() != 0) {
        std::fprintf(err, "tevra-watch: cannot read the ARP table: %s\n", console.lastError().c_str());
        return 1;
    }
    if (options.once) {
        if (options.table)
            std::fputs(console.tableText().c_str(), out);
        std::fflush(out);
        return 0;
    }
    const auto period = std::chrono::milliseconds(options.intervalMs);
    auto next = std::chrono::steady_clock::now() + period;
    for (;;) {
        const StopSignals::Wake wake = stop.waitUntil(next, feed);
        if (wake == StopSignals::Wake::Stop)
            return 0;
        if (wake == StopSignals::Wake::Readable) {
            console.followChanges();
            continue;
        }
        console.refresh();  // a later failure is silent, as in the window
        next += period;
        // Ticks missed by a slow refresh are dropped, not caught up in a burst.
        if (const auto now = std::chrono::steady_clock::now(); next <= now)
            next = now + period;
    }
}

}  // namespace tevra::cli
