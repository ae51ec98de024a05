#include "cli/ConsoleWatch.h"

#include "cli/AlertJson.h"
#include "cli/HookRunner.h"
#include "cli/Journal.h"
#include "cli/StartupMessage.h"
#include "cli/StateFile.h"
#include "cli/StopSignals.h"
#include "engine/MappingCells.h"
#include "engine/Version.h"

#include <chrono>
#include <optional>
#include <vector>

namespace tevra::cli {

ConsoleWatch::ConsoleWatch(
    std::unique_ptr<hostnet::IpHelper> host, const AlertOutput& output, WallClock clock)
    : output_(output)
    , clock_(std::move(clock))
    , watcher_(std::move(host), [this] {
        lastReading_ = clock_();
        return std::chrono::floor<std::chrono::seconds>(lastReading_).time_since_epoch().count();
    })
{
    watcher_.clearProgramCache();
    watcher_.loadVendorTable();
    watcher_.sink.userData = this;
    watcher_.sink.callback = collect;
}

void ConsoleWatch::collect(std::unique_ptr<WatchEvent> event, void* self)
{
    auto* const console = static_cast<ConsoleWatch*>(self);
    console->collected_.emplace_back(std::move(event), console->lastReading_);
}

void ConsoleWatch::deliverCollected()
{
    for (const auto& [event, time] : collected_)
        output_.deliver(makeAlert(*event, time, watcher_));
    collected_.clear();
}

std::int32_t ConsoleWatch::refresh()
{
    const std::int32_t result = watcher_.refresh();
    deliverCollected();
    return result;
}

int ConsoleWatch::openChangeFeed()
{
    return watcher_.ipHelper().openChangeFeed();
}

void ConsoleWatch::followChanges()
{
    watcher_.followChanges();
    deliverCollected();
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

std::string ConsoleWatch::tableJson() const
{
    std::string text;
    for (const auto& [address, entry] : watcher_.programCache)
        text += mappingJson(*entry, watcher_.networkConfig) + '\n';
    return text;
}

namespace {

// Where alerts go: the journal when our output is the journal, else the
// output stream as text or JSON lines; and the hook, if there is one.
AlertOutput makeOutput(const WatchOptions& options, std::FILE* out, std::FILE* err, HookRunner* hooks)
{
    AlertOutput output(options.ignore);
    const AlertFormat format = options.json ? alertJson : alertText;
    auto stream = std::make_unique<StreamSink>(out, format);
    if (isJournalStream(out) && journalSocketPresent())
        output.add(std::make_unique<JournalSink>(format, std::move(stream), err));
    else
        output.add(std::move(stream));
    if (hooks != nullptr)
        output.add(std::make_unique<HookSink>(*hooks));
    return output;
}

WatchSummary summarize(CMappingWatcher& watcher, int intervalMs, bool followsNotifications)
{
    WatchSummary summary { watcher.programCache.size(), {}, intervalMs, followsNotifications };
    for (const auto& [index, adapter] : watcher.networkConfig.adapters)
        summary.interfaces.push_back(adapter.info.Description);
    return summary;
}

// What the watch loop waits on besides its period and the stop signals.
struct Wakers {
    int feed = -1;  // the host's change feed, or -1
    StateFile* state = nullptr;
    HookRunner* hooks = nullptr;
};

// The change feed first, if there is one, then the handles of running hooks.
std::vector<StopSignals::Waitable> waitList(int feed, const HookRunner* hooks)
{
    std::vector<StopSignals::Waitable> list;
    if (feed >= 0)
        list.push_back({ feed, false });
    if (hooks != nullptr)
        for (const int handle : hooks->waitHandles())
            list.push_back({ handle, false });
    return list;
}

// Lets the hooks of a single reading run to their end; a stop abandons them.
void finishHooks(StopSignals& stop, HookRunner& hooks)
{
    while (hooks.running() > 0 || hooks.waiting() > 0) {
        std::vector<StopSignals::Waitable> list = waitList(-1, &hooks);
        if (stop.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(1), list)
            == StopSignals::Wake::Stop)
            break;
        hooks.service();
    }
    hooks.abandonWaiting();
}

void watchLoop(StopSignals& stop, ConsoleWatch& console, const Wakers& wakers, int intervalMs)
{
    using std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(intervalMs);
    auto next = steady_clock::now() + period;
    for (;;) {
        std::vector<StopSignals::Waitable> list = waitList(wakers.feed, wakers.hooks);
        const StopSignals::Wake wake = stop.waitUntil(next, list);
        if (wake == StopSignals::Wake::Stop)
            break;
        if (wakers.hooks != nullptr)
            wakers.hooks->service();
        if (wake == StopSignals::Wake::Readable) {
            if (wakers.feed >= 0 && list.front().readable)
                console.followChanges();
        } else {
            console.refresh();  // a later failure is silent, as in the window
            next += period;
            // Ticks missed by a slow refresh are dropped, not caught up in a burst.
            if (const auto now = steady_clock::now(); next <= now)
                next = now + period;
        }
        if (wakers.state != nullptr)
            wakers.state->saveIfDue(console.watcher(), steady_clock::now());
    }
    if (wakers.hooks != nullptr)
        wakers.hooks->abandonWaiting();
}

}  // namespace

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
    if (!options.execProgram.empty()) {
        if (const std::string reason = checkRunnable(options.execProgram); !reason.empty()) {
            std::fprintf(err, "tevra-watch: --exec: %s\n", reason.c_str());
            return 2;
        }
    }
    // Installed before the first read, so that a stop asked for during start-up
    // or during --once still ends the program cleanly after that read.
    StopSignals stop;
    std::optional<HookRunner> hooks;
    if (!options.execProgram.empty())
        hooks.emplace(options.execProgram, err);
    const AlertOutput output = makeOutput(options, out, err, hooks ? &*hooks : nullptr);
    ConsoleWatch console(std::move(host), output);
    std::optional<StateFile> state;
    if (!options.statePath.empty()) {
        state.emplace(options.statePath, err);
        if (const std::string problem = state->load(console.watcher()); !problem.empty()) {
            std::fprintf(err, "tevra-watch: %s\n", problem.c_str());
            return 1;
        }
    }
    // Opened before the first read, so that no change after it goes unseen.
    const int feed = options.once ? -1 : console.openChangeFeed();
    if (console.refresh() != 0) {
        std::fprintf(err, "tevra-watch: cannot read the ARP table: %s\n", console.lastError().c_str());
        return 1;
    }
    if (options.once) {
        if (options.table)
            std::fputs((options.json ? console.tableJson() : console.tableText()).c_str(), out);
        std::fflush(out);
        if (hooks)
            finishHooks(stop, *hooks);
    } else {
        if (state)
            state->save(console.watcher());
        if (isInteractive(out, err))
            std::fputs(
                startupMessage(summarize(console.watcher(), options.intervalMs, feed >= 0)).c_str(), err);
        watchLoop(stop, console, { feed, state ? &*state : nullptr, hooks ? &*hooks : nullptr },
            options.intervalMs);
    }
    return state && !state->save(console.watcher()) ? 1 : 0;
}

}  // namespace tevra::cli
