#include "cli/ConsoleWatch.h"

#include "cli/AlertJson.h"
#include "cli/HookRunner.h"
#include "cli/Journal.h"
#include "cli/StartupMessage.h"
#include "cli/StateFile.h"
#include "cli/StateLock.h"
#include "cli/StopSignals.h"
#include "engine/MappingCells.h"
#include "engine/TextEscape.h"
#include "engine/Version.h"
#include "hostnet/Trace.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

namespace tevra::cli {

namespace {

// EX_CONFIG: restarting cannot mend a damaged or refused state file, so the
// unit does not restart on it (RestartPreventExitStatus).
constexpr int kExitStateRefused = 78;

}  // namespace

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
    return watcher_.openChangeFeed();
}

void ConsoleWatch::followChanges()
{
    watcher_.followChanges();
    deliverCollected();
}

std::string ConsoleWatch::lastError()
{
    const std::string& reason = watcher_.readError();
    return reason.empty() ? "unknown error" : reason;
}

std::string ConsoleWatch::tableText() const
{
    // The program cache is in dotted order already, as the window lists it.
    std::vector<MappingCells> rows;
    rows.reserve(watcher_.programCache.size());
    for (const auto& [address, entry] : watcher_.programCache) {
        MappingCells cells = mappingCellTexts(*entry, watcher_.networkConfig);
        for (std::string& cell : cells)
            cell = escapedControlBytes(cell);
        rows.push_back(std::move(cells));
    }
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
AlertOutput makeOutput(
    const WatchOptions& options, std::FILE* out, std::FILE* err, HookRunner* hooks, OutputStatus& written)
{
    AlertOutput output(options.ignore);
    const AlertFormat format = options.json ? alertJson : alertText;
    auto stream = std::make_unique<StreamSink>(out, format, &written);
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
        summary.interfaces.push_back(escapedControlBytes(adapter.info.Description));
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

void watchLoop(StopSignals& stop, ConsoleWatch& console, const Wakers& wakers, int intervalMs,
    const OutputStatus& written)
{
    using std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(intervalMs);
    auto next = steady_clock::now() + period;
    // Alerts that cannot be written are lost: watching on would hide that.
    while (written.error == 0) {
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

// One discovery before the first read; what failed (no ping, no rights) is
// said on `err` and the watch goes on. With --once the answers are waited
// for, up to kOnceDiscoveryWait, since that one read is all there is.
void discover(ConsoleWatch& console, StopSignals& stop, bool once, std::FILE* err)
{
    constexpr auto kOnceDiscoveryWait = std::chrono::seconds(2);
    console.watcher().discoverByPing();
    for (const ActionFailure& failure : console.watcher().takeActionFailures())
        std::fprintf(err, "tevra-watch: discovery%s%s: %s\n", failure.subject.empty() ? "" : " of ",
            failure.subject.c_str(), failure.reason.c_str());
    // A host without an adapter address has nothing that could answer.
    if (once && !console.watcher().networkConfig.pingTargets().empty())
        stop.sleepUntil(std::chrono::steady_clock::now() + kOnceDiscoveryWait);
}

// The exit status once the output is done with: a reader that has gone (a
// pipe into `head`) ends us quietly, as it ends other filters; any other
// failed write lost output and is said.
int outputStatus(const OutputStatus& written, std::FILE* err)
{
    if (written.error == 0 || written.error == EPIPE)
        return 0;
    std::fprintf(err, "tevra-watch: cannot write the output: %s\n", std::strerror(written.error));
    return 1;
}

// Under systemd, stderr is the journal already: trace lines then go there
// once, at debug priority, instead of as plain lines.
void routeTraceToJournal(std::FILE* err)
{
    if (isJournalStream(err) && journalSocketPresent())
        hostnet::setTraceSink(
            [](std::string_view topic, const std::string& line) { journalDebug(topic, line); });
}

// What the change feed could not follow, said once at the end when there was
// anything: a reason why an alert may be missing.
void sayFeedLosses(const hostnet::FeedCounts& counts, std::FILE* err)
{
    if (counts == hostnet::FeedCounts {})
        return;
    std::fprintf(err,
        "tevra-watch: the kernel's notifications overran %llu times; the table was read again %llu times to "
        "make up for it; %llu notifications could not be read (TEVRA_TRACE=netlink says each)\n",
        static_cast<unsigned long long>(counts.overruns), static_cast<unsigned long long>(counts.resyncs),
        static_cast<unsigned long long>(counts.unreadable));
}

}  // namespace

int runWatch(
    const WatchOptions& options, std::unique_ptr<hostnet::IpHelper> host, std::FILE* out, std::FILE* err)
{
    OutputStatus written;
    if (options.mode == WatchOptions::Mode::Help) {
        writeOutput(out, usageText(), written);
        return outputStatus(written, err);
    }
    if (options.mode == WatchOptions::Mode::Version) {
        writeOutput(out, std::string("tevra-watch ") + kVersion + "\n", written);
        return outputStatus(written, err);
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
    routeTraceToJournal(err);
    std::optional<HookRunner> hooks;
    if (!options.execProgram.empty())
        hooks.emplace(options.execProgram, err);
    const AlertOutput output = makeOutput(options, out, err, hooks ? &*hooks : nullptr, written);
    ConsoleWatch console(std::move(host), output);
    std::optional<StateFile> state;
    std::unique_ptr<StateLock> stateLock;
    if (!options.statePath.empty()) {
        std::string problem;
        stateLock = StateLock::acquire(options.statePath, problem);
        if (!stateLock) {
            std::fprintf(err, "tevra-watch: %s\n", problem.c_str());
            return 1;
        }
        state.emplace(options.statePath, err);
        if (const std::string problem = state->load(console.watcher()); !problem.empty()) {
            std::fprintf(err, "tevra-watch: %s\n", problem.c_str());
            return kExitStateRefused;
        }
    }
    // Opened before the first read, so that no change after it goes unseen.
    const int feed = options.once ? -1 : console.openChangeFeed();
    if (options.discover)
        discover(console, stop, options.once, err);
    if (console.refresh() != 0) {
        std::fprintf(err, "tevra-watch: cannot read the ARP table: %s\n", console.lastError().c_str());
        return 1;
    }
    if (options.once) {
        if (options.table)
            writeOutput(out, options.json ? console.tableJson() : console.tableText(), written);
        if (hooks)
            finishHooks(stop, *hooks);
    } else {
        if (state)
            state->save(console.watcher());
        if (isInteractive(out, err))
            std::fputs(
                startupMessage(summarize(console.watcher(), options.intervalMs, feed >= 0)).c_str(), err);
        watchLoop(stop, console, { feed, state ? &*state : nullptr, hooks ? &*hooks : nullptr },
            options.intervalMs, written);
        if (const hostnet::ChangeFeed* feedOfHost = console.watcher().ipHelper().changeFeed())
            sayFeedLosses(feedOfHost->counts(), err);
    }
    const bool saved = !state || state->save(console.watcher());
    const int status = outputStatus(written, err);
    return saved ? status : 1;
}

}  // namespace tevra::cli
