// SPDX-License-Identifier: GPL-3.0-or-later
// Each menu command on a selection, against the engine on the scripted host,
// with a face that records what the command asked of the window.
#include "EngineFixture.h"
#include "ui/core/CommandIds.h"
#include "ui/core/ElevatingIpHelper.h"
#include "ui/core/MenuTable.h"
#include "ui/core/WindowCommands.h"

#include <algorithm>
#include <deque>
#include <set>

namespace tevra::test {
namespace {

class RecordingFace : public CommandFace {
public:
    std::vector<std::string> selectedAddressTexts() const override { return selected; }
    void showFailure(const std::string& text) override { record("failure: " + text); }
    void clearMappingRows() override { record("clear rows"); }
    void rewriteAllMappingRows() override { record("rewrite rows"); }
    void clearOutputList() override { record("clear output"); }
    void saveMapping() override { record("save mapping"); }
    void saveOutput() override { record("save output"); }
    void showAbout() override { record("about"); }
    void close() override { record("close"); }

    void record(std::string call) { calls.push_back(std::move(call)); }

    std::vector<std::string> selected;
    std::vector<std::string> calls;
};

class WindowCommands : public EngineTest {
protected:
    void SetUp() override
    {
        host.adapters = { { 2, "eth0" } };
        refreshWith({ row("10.0.0.1", "00-0C-29-11-22-33"), row("10.0.0.2", "00-0C-29-11-22-34") });
    }

    std::vector<std::string> run(int command)
    {
        face.calls.clear();
        EXPECT_TRUE(runCommand(command, watcher, face));
        return face.calls;
    }

    bool inProgramCache(const char* dotted) const { return watcher.programCache.contains(ip(dotted)); }

    RecordingFace face;
};

TEST_F(WindowCommands, EachCommandAsksTheWindowForWhatItShows)
{
    struct Case {
        int command;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases {
        { kCmdSaveMapping, { "save mapping" } },
        { kCmdSaveOutput, { "save output" } },
        { kCmdExit, { "close" } },
        { kCmdClearOutputList, { "clear output" } },
        { kCmdAbout, { "about" } },
        // The list stays empty until the next tick brings the entries back.
        { kCmdFlushProgramCache, { "clear rows" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(c.command), c.calls) << c.command;
    EXPECT_TRUE(watcher.programCache.empty());
}

TEST_F(WindowCommands, DeletesActOnTheSelectionOnly)
{
    face.selected = { "10.0.0.1" };
    EXPECT_EQ(run(kCmdDeleteFromSystemCache), std::vector<std::string> {});
    ASSERT_EQ(host.calls.deleted.size(), 1u);
    EXPECT_EQ(host.calls.deleted[0].address, ip("10.0.0.1"));
    EXPECT_TRUE(inProgramCache("10.0.0.1"));

    EXPECT_EQ(run(kCmdDeleteFromProgramCache), (std::vector<std::string> { "clear rows", "rewrite rows" }));
    EXPECT_FALSE(inProgramCache("10.0.0.1"));
    EXPECT_TRUE(inProgramCache("10.0.0.2"));

    // Nothing selected: nothing done, nothing redrawn.
    face.selected.clear();
    EXPECT_EQ(run(kCmdDeleteFromProgramCache), std::vector<std::string> {});
    EXPECT_EQ(run(kCmdDeleteFromBothCaches), std::vector<std::string> {});
    EXPECT_EQ(host.calls.deleted.size(), 1u);
}

TEST_F(WindowCommands, FailuresBecomeOneMessageBoxPerCommand)
{
    host.deleteResult = -1;
    host.error = "Operation not permitted";
    host.failure = hostnet::Failure::NotPermitted;
    face.selected = { "10.0.0.1", "10.0.0.2" };
    EXPECT_EQ(run(kCmdDeleteFromSystemCache),
        std::vector<std::string> { "failure: Could not delete from the system cache:\n"
                                   "10.0.0.1: Operation not permitted\n10.0.0.2: Operation not permitted\n\n"
                                   "This action needs administrator rights." });
    // A failed system delete keeps the entry and its history in the program cache too.
    run(kCmdDeleteFromBothCaches);
    EXPECT_TRUE(inProgramCache("10.0.0.1"));
    EXPECT_EQ(face.calls.back().substr(0, 49), "failure: Could not delete from the system cache:\n");

    host.flushResult = -1;
    host.error = "interface gone";
    host.failure = hostnet::Failure::Other;
    EXPECT_EQ(run(kCmdFlushSystemCache),
        std::vector<std::string> { "failure: Could not flush the system cache:\ninterface gone" });
}

TEST_F(WindowCommands, EveryVisibleMenuItemRunsACommandAndTheHiddenOneNone)
{
    std::set<int> seen;
    for (const MenuItem& item : mainMenu()) {
        if (item.text == nullptr)
            continue;
        EXPECT_TRUE(seen.insert(item.command).second) << item.text;
        face.selected.clear();
        EXPECT_EQ(runCommand(item.command, watcher, face), !item.hidden) << item.text;
    }
    EXPECT_EQ(seen.size(), 13u);
}

// A launcher that keeps each step until the test answers it, as a person
// answers the password prompt whenever they like.
class RecordingLauncher : public ElevatedLauncher {
public:
    struct Started {
        std::vector<std::string> arguments;
        std::function<void(ElevatedResult)> onDone;
    };

    explicit RecordingLauncher(std::deque<Started>& started)
        : started_(started)
    {
    }
    void start(std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone) override
    {
        started_.push_back({ std::move(arguments), std::move(onDone) });
    }

private:
    std::deque<Started>& started_;
};

// The engine on a host that refuses every change for want of rights, wrapped
// so that tevra-arp-helper is asked instead.
class ElevatedCommands : public ::testing::Test {
protected:
    ElevatedCommands()
        : elevatingWatcher(
            std::make_unique<ElevatingIpHelper>(refusingHost(), std::make_unique<RecordingLauncher>(started)),
            fixedClock(kNow))
    {
    }

    static std::unique_ptr<hostnet::FakeIpHelper> refusingHost()
    {
        auto fake = std::make_unique<hostnet::FakeIpHelper>();
        fake->adapters = { { 2, "eth0" } };
        fake->netTable = { row("10.0.0.1", "00-0C-29-11-22-33"), row("10.0.0.2", "00-0C-29-11-22-34") };
        fake->deleteResult = -1;
        fake->flushResult = -1;
        fake->error = "Operation not permitted";
        fake->failure = hostnet::Failure::NotPermitted;
        return fake;
    }

    void SetUp() override { ASSERT_EQ(elevatingWatcher.refresh(), 0); }

    std::vector<std::string> run(int command)
    {
        face.calls.clear();
        EXPECT_TRUE(runCommand(command, elevatingWatcher, face));
        return face.calls;
    }

    // The helper's answer to the oldest step still asking.
    std::vector<std::string> answer(ElevatedResult result)
    {
        face.calls.clear();
        EXPECT_FALSE(started.empty());
        if (started.empty())
            return {};
        RecordingLauncher::Started step = std::move(started.front());
        started.pop_front();
        step.onDone(std::move(result));
        return face.calls;
    }

    bool inProgramCache(const char* dotted) const
    {
        return elevatingWatcher.programCache.contains(ip(dotted));
    }

    // Declared before the watcher, whose launcher records into it.
    std::deque<RecordingLauncher::Started> started;
    CMappingWatcher elevatingWatcher;
    RecordingFace face;
};

TEST_F(ElevatedCommands, TheCommandReturnsAtOnceAndItsResultIsSaidWhenTheHelperEnds)
{
    face.selected = { "10.0.0.1", "10.0.0.2" };
    // Nothing is said while the person answers the prompt: the window goes on.
    EXPECT_EQ(run(kCmdDeleteFromBothCaches), (std::vector<std::string> { "clear rows", "rewrite rows" }));
    ASSERT_EQ(started.size(), 1u) << "one step at a time";
    EXPECT_EQ(started.front().arguments, (std::vector<std::string> { "delete", "10.0.0.1", "2" }));
    EXPECT_TRUE(inProgramCache("10.0.0.1")) << "still in the table until the helper has deleted it";
    EXPECT_EQ(elevatingWatcher.refresh(), 0) << "ticks go on meanwhile";

    EXPECT_EQ(answer(std::nullopt), std::vector<std::string> {});
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started.front().arguments, (std::vector<std::string> { "delete", "10.0.0.2", "2" }));
    // The last answer ends the command: what was deleted leaves the program
    // cache, and what was not is said once.
    EXPECT_EQ(answer(ElevatedFailure { "No such device", false }),
        (std::vector<std::string> { "clear rows", "rewrite rows",
            "failure: Could not delete from the system cache:\n10.0.0.2: No such device" }));
    EXPECT_FALSE(inProgramCache("10.0.0.1"));
    EXPECT_TRUE(inProgramCache("10.0.0.2"));
}

TEST_F(ElevatedCommands, ARefusedConsentIsSaidInTheHostsWords)
{
    EXPECT_EQ(run(kCmdFlushSystemCache), std::vector<std::string> {});
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started.front().arguments, (std::vector<std::string> { "flush", "2" }));
    EXPECT_EQ(answer(ElevatedFailure { "the administrator's authentication was dismissed", true }),
        std::vector<std::string> { "failure: Could not flush the system cache:\n"
                                   "the administrator's authentication was dismissed\n\n"
                                   "This action needs administrator rights." });
}

TEST_F(ElevatedCommands, AFlushOfBothCachesEmptiesTheProgramCacheOnceTheHelperHasFlushed)
{
    run(kCmdFlushBothCaches);
    EXPECT_TRUE(inProgramCache("10.0.0.1")) << "nothing has left the table yet";
    // A second command while the first waits runs after it.
    face.selected = { "10.0.0.2" };
    run(kCmdDeleteFromSystemCache);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(answer(std::nullopt), std::vector<std::string> { "clear rows" });
    EXPECT_TRUE(elevatingWatcher.programCache.empty());
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started.front().arguments, (std::vector<std::string> { "delete", "10.0.0.2", "2" }));
    EXPECT_EQ(answer(std::nullopt), std::vector<std::string> {});
    EXPECT_TRUE(started.empty());
}

}  // namespace
}  // namespace tevra::test
