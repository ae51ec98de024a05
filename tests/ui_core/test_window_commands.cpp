// Each menu command on a selection, against the engine on the scripted host,
// with a face that records what the command asked of the window.
#include "EngineFixture.h"
#include "ui/core/CommandIds.h"
#include "ui/core/MenuTable.h"
#include "ui/core/WindowCommands.h"

#include <algorithm>
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
    EXPECT_EQ(host.calls.deleted[0].dwAddr, ip("10.0.0.1"));
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

}  // namespace
}  // namespace tevra::test
