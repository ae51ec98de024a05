// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace tevra::cli {

namespace {

// EX_CONFIG: restarting cannot mend a damaged or refused state file, so the
// unit does not restart on it (RestartPreventExitStatus).
constexpr int kExitStateRefused = 78;

}  // namespace

ConsoleWatch::ConsoleWatch(std::unique_ptr<hostnet::IpHelper> host, const AlertOutput& output, Clock clock)
    : output_(output)
    , watcher_(std::move(host), std::move(clock))
{
    watcher_.clearProgramCache();
    watcher_.forgetUnresolvedWhenGone = true;
    watcher_.loadVendorTable();
    watcher_.sink.userData = this;
    watcher_.sink.callback = collect;
}

void ConsoleWatch::collect(std::unique_ptr<WatchEvent> event, void* self)
{
    auto* const console = static_cast<ConsoleWatch*>(self);
    console->collected_.push_back(std::move(event));
}

void ConsoleWatch::deliverCollected()
{
    for (const std::unique_ptr<WatchEvent>& event : collected_)
        output_.deliver(makeAlert(*event, watcher_));
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

// What the host's change feed has lost so far; nothing for a host without one.
hostnet::FeedCounts feedCountsOf(CMappingWatcher& watcher)
{
    const hostnet::ChangeFeed* const feed = watcher.ipHelper().changeFeed();
    return feed != nullptr ? feed->counts() : hostnet::FeedCounts {};
}

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

WatchSummary summarize(CMappingWatcher& watcher, const WatchOptions& options, bool followsNotifications)
{
    WatchSummary summary { watcher.programCache.size(), {}, options.intervalMs, followsNotifications,
        options.resyncSeconds };
    for (const auto& [index, adapter] : watcher.networkConfig.adapters)
        summary.interfaces.push_back(escapedControlBytes(adapter.info.Description));
    return summary;
}

// Addresses dropped for --max-addresses: said at the first, then at most once
// a minute with how many since, so that a flood cannot flood the log too.
class EvictionNotice {
public:
    static constexpr std::chrono::minutes kEvery { 1 };

    EvictionNotice(std::size_t cap, std::FILE* err)
        : cap_(cap)
        , err_(err)
    {
    }

    void note(CMappingWatcher& watcher, std::chrono::steady_clock::time_point now)
    {
        pending_ += watcher.takeEvictedCount();
        if (pending_ == 0 || now < nextSay_)
            return;
        std::fprintf(err_,
            "tevra-watch: the learned table is full (%zu addresses): %zu addresses were forgotten, first "
            "those that never resolved, then those gone from the table longest\n",
            cap_, pending_);
        pending_ = 0;
        nextSay_ = now + kEvery;
    }

private:
    std::size_t cap_;
    std::FILE* err_;
    std::size_t pending_ = 0;
    std::chrono::steady_clock::time_point nextSay_ {};
};

// Notifications the kernel dropped (an overrun): changes between two readings
// may be missing, which a reader must know. Said on standard error, and with
// --json also as a line of kind "notifications-lost" among the alerts, so that
// a reader of the JSON alone learns it too.
class LossNotice {
public:
    LossNotice(bool json, std::FILE* out, OutputStatus& written, std::FILE* err)
        : json_(json)
        , out_(out)
        , written_(written)
        , err_(err)
    {
    }

    void note(const hostnet::FeedCounts& counts)
    {
        if (counts.overruns <= said_)
            return;
        const std::uint64_t count = counts.overruns - said_;
        said_ = counts.overruns;
        const std::string text = "the kernel's change notifications were lost (" + std::to_string(count)
            + (count == 1 ? " overrun" : " overruns")
            + "): changes between two readings may be missing; the table was read again";
        std::fprintf(err_, "tevra-watch: %s\n", text.c_str());
        if (json_)
            writeOutput(
                out_, notificationsLostJson(count, std::chrono::system_clock::now(), text) + '\n', written_);
    }

private:
    bool json_;
    std::FILE* out_;
    OutputStatus& written_;
    std::FILE* err_;
    std::uint64_t said_ = 0;
};

// What is said after each step of the watch.
struct StepNotices {
    EvictionNotice evictions;
    LossNotice losses;

    void after(ConsoleWatch& console)
    {
        evictions.note(console.watcher(), std::chrono::steady_clock::now());
        losses.note(feedCountsOf(console.watcher()));
    }
};

// What the watch loop waits on besides its period and the stop signals, and
// what it says after each step.
struct Wakers {
    int feed = -1;  // the host's change feed, or -1
    StateFile* state = nullptr;
    HookRunner* hooks = nullptr;
    StepNotices* notices = nullptr;
    const AlertOutput* output = nullptr;  // for what its sinks have due (the journal's summary)
};

// The change feed first, if there is one, then the handles of running hooks.
std::vector<StopSignals::Waitable> waitList(int feed, const HookRunner* hooks)
{
    std::vector<StopSignals::Waitable> list;
    if (feed >= 0)
        list.push_back({ descriptorWaitHandle(feed), false });
    if (hooks != nullptr)
        for (const WaitHandle handle : hooks->waitHandles())
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

// The earliest of the next reading, what the hooks have to do meanwhile, a
// change to be saved (within a second of it, even when nothing else comes),
// and what an output has due.
std::chrono::steady_clock::time_point wakeAt(
    std::chrono::steady_clock::time_point next, const Wakers& wakers, const CMappingWatcher& watcher)
{
    std::optional<std::chrono::steady_clock::time_point> due;
    if (wakers.hooks != nullptr)
        due = wakers.hooks->nextDeadline();
    if (wakers.state != nullptr)
        if (const auto save = wakers.state->dueAt(watcher))
            due = due ? std::min(*due, *save) : *save;
    if (wakers.output != nullptr)
        if (const auto said = wakers.output->dueAt())
            due = due ? std::min(*due, *said) : *said;
    return due ? std::min(next, *due) : next;
}

// With the kernel's notifications each change is taken as it comes, and the
// whole table is compared with what was learned only every --resync seconds:
// at a million learned addresses that comparison is the cost of an idle
// watcher. Without them, the table is read whole every --interval.
void watchLoop(StopSignals& stop, ConsoleWatch& console, const Wakers& wakers, const WatchOptions& options,
    const OutputStatus& written)
{
    using std::chrono::steady_clock;
    const std::chrono::milliseconds period = wakers.feed >= 0 ? std::chrono::seconds(options.resyncSeconds)
                                                              : std::chrono::milliseconds(options.intervalMs);
    auto next = steady_clock::now() + period;
    // Alerts that cannot be written are lost: watching on would hide that.
    while (written.error == 0) {
        std::vector<StopSignals::Waitable> list = waitList(wakers.feed, wakers.hooks);
        const StopSignals::Wake wake = stop.waitUntil(wakeAt(next, wakers, console.watcher()), list);
        if (wake == StopSignals::Wake::Stop)
            break;
        if (wakers.hooks != nullptr)
            wakers.hooks->service();
        if (wake == StopSignals::Wake::Readable) {
            if (wakers.feed >= 0 && list.front().readable)
                console.followChanges();
        } else if (steady_clock::now() >= next) {
            console.refresh();  // a later failure is silent, as in the window
            next += period;
            // Ticks missed by a slow refresh are dropped, not caught up in a burst.
            if (const auto now = steady_clock::now(); next <= now)
                next = now + period;
        }
        wakers.notices->after(console);
        if (wakers.output != nullptr)
            wakers.output->service(steady_clock::now());
        if (wakers.state != nullptr)
            wakers.state->saveIfDue(console.watcher(), steady_clock::now());
    }
    if (wakers.hooks != nullptr)
        wakers.hooks->abandonWaiting();
}

// Waits, for --once, until the answers to a discovery can be in the table:
// the broadcast ping's for kAnswerWait, and the sweep's until it has sent to
// the whole subnet (2.5 s for a /24) and kAnswerGrace after, but never longer
// than kLongestWait. A wait beyond kAnswerWait is said, so that it does not
// look like a hang.
void awaitDiscovery(ConsoleWatch& console, StopSignals& stop, std::FILE* err)
{
    using namespace std::chrono_literals;
    constexpr auto kAnswerWait = 2s;
    constexpr auto kAnswerGrace = 500ms;
    constexpr auto kLongestWait = 30s;
    constexpr auto kPoll = 50ms;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + kLongestWait;
    bool said = false;
    while (console.watcher().ipHelper().sweeping()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return;
        if (!said && now >= start + kAnswerWait) {
            std::fprintf(err,
                "tevra-watch: discovery: waiting for the sweep of the subnet to end (at most %lld s)\n",
                static_cast<long long>(kLongestWait.count()));
            said = true;
        }
        if (!stop.sleepUntil(std::min(now + kPoll, end)))
            return;
    }
    const auto swept = std::chrono::steady_clock::now();
    stop.sleepUntil(std::min(end, std::max(start + kAnswerWait, swept + kAnswerGrace)));
}

// One discovery before the first read; what failed (no ping, no rights) is
// said on `err` and the watch goes on. With --once the answers are waited
// for, since that one read is all there is.
void discover(ConsoleWatch& console, StopSignals& stop, bool once, std::FILE* err)
{
    console.watcher().discoverByPing();
    for (const ActionFailure& failure : console.watcher().takeActionFailures())
        std::fprintf(err, "tevra-watch: discovery%s%s: %s\n", failure.subject.empty() ? "" : " of ",
            failure.subject.c_str(), failure.reason.c_str());
    // A host without an adapter address has nothing that could answer.
    if (once && !console.watcher().networkConfig.pingTargets().empty())
        awaitDiscovery(console, stop, err);
}

// A folder of vendor lists asked for by name that gave none would otherwise
// pass unnoticed behind the compiled-in lists.
void sayUnusableVendorFolder(const CMappingWatcher& watcher, std::FILE* err)
{
    const char* const folder = std::getenv("TEVRA_IEEE_DATA");
    if (folder == nullptr || *folder == '\0')
        return;
    const auto lists = watcher.vendorTable.lists();
    if (std::ranges::any_of(lists, [](const VendorListInfo& list) { return !list.source.empty(); }))
        return;
    std::fprintf(err,
        "tevra-watch: TEVRA_IEEE_DATA names %s, where no vendor list could be read; the compiled-in lists "
        "are "
        "used\n",
        escapedControlBytes(folder).c_str());
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
        hooks.emplace(options.execProgram, err, std::chrono::seconds(options.execTimeoutSeconds));
    const AlertOutput output = makeOutput(options, out, err, hooks ? &*hooks : nullptr, written);
    ConsoleWatch console(std::move(host), output);
    console.watcher().maxAddresses = std::size_t(options.maxAddresses);
    console.watcher().families = { options.ipv4, options.ipv6 };
    sayUnusableVendorFolder(console.watcher(), err);
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
    StepNotices notices { { std::size_t(options.maxAddresses), err }, { options.json, out, written, err } };
    notices.after(console);
    if (options.once) {
        if (options.table)
            writeOutput(out, options.json ? console.tableJson() : console.tableText(), written);
        if (hooks)
            finishHooks(stop, *hooks);
    } else {
        if (state)
            state->save(console.watcher());
        if (isInteractive(out, err))
            std::fputs(startupMessage(summarize(console.watcher(), options, feed >= 0)).c_str(), err);
        watchLoop(stop, console,
            { feed, state ? &*state : nullptr, hooks ? &*hooks : nullptr, &notices, &output }, options,
            written);
        sayFeedLosses(feedCountsOf(console.watcher()), err);
    }
    const bool saved = !state || state->save(console.watcher());
    const int status = outputStatus(written, err);
    return saved ? status : 1;
}

}  // namespace tevra::cli
