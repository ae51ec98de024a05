// SPDX-License-Identifier: GPL-3.0-or-later
// --exec: real programs started for alerts, with real files to tell what they saw.
#include "FileText.h"
#include "cli/ConsoleWatch.h"
#include "cli/HookRunner.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/cli/WatchRun.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tevra::cli {
namespace {

namespace fs = std::filesystem;
using test::arpRow;
using test::contents;
using test::countOf;
using test::fileText;
using test::Outcome;
using namespace std::chrono_literals;

bool noChildrenLeft()
{
    return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

// A folder whose name a shell would take apart or run: if anything went
// through a shell, the hook would not be found or "pwned" would appear.
class HookTest : public testing::Test {
protected:
    HookTest()
    {
        root = fs::temp_directory_path() / ("tevra-hooks-" + std::to_string(getpid()));
        fs::remove_all(root);
        folder = root / "on alert $(touch pwned); x";
        fs::create_directories(folder);
    }
    ~HookTest() override { fs::remove_all(root); }

    fs::path writeHook(const std::string& body)
    {
        const fs::path hook = folder / "hook 'script'";
        std::ofstream(hook) << "#!/bin/sh\n" << body;
        fs::permissions(hook, fs::perms::owner_all);
        return hook;
    }

    Outcome runOnce(
        std::vector<hostnet::MibIpNetRow> table, const fs::path& hook, const std::string& state = {})
    {
        WatchOptions options;
        options.execProgram = hook.string();
        options.statePath = state;
        return test::runWatchOnce(options, std::move(table));
    }

    fs::path root;
    fs::path folder;
};

TEST_F(HookTest, GetsKindAddressMacsAndTheLineWithoutAShell)
{
    // Each run writes its arguments, one a line, then the alert line, its
    // blocked signals and the output it was given.
    const fs::path hook
        = writeHook("d=$(dirname \"$0\")\n"
                    "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done\n"
                    "  echo \"$TEVRA_ALERT\"; grep SigBlk /proc/self/status; } > \"$d/call.$1\"\n"
                    "echo \"hook says hello\"\n");
    // The state file makes 10.0.0.1 a known address, so that this single
    // reading has a changed mapping as well as a broadcast MAC.
    const fs::path state = root / "state";
    std::ofstream(state) << "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\t\t3\t1\t1\n";
    const Outcome run = runOnce(
        { arpRow("10.0.0.1", "00-0C-29-44-55-66"), arpRow("10.0.0.7", "FF-FF-FF-FF-FF-FF") }, hook, state);
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream printed(run.out);
    std::string changedLine;
    std::string broadcastLine;
    std::getline(printed, changedLine);
    std::getline(printed, broadcastLine);

    EXPECT_EQ(fileText(folder / "call.mapping-changed"),
        "4\n[mapping-changed]\n[10.0.0.1]\n[00-0C-29-44-55-66]\n[00-0C-29-11-22-33]\n" + changedLine
            + "\nSigBlk:\t0000000000000000\n");
    EXPECT_EQ(fileText(folder / "call.broadcast-mac"),
        "4\n[broadcast-mac]\n[10.0.0.7]\n[FF-FF-FF-FF-FF-FF]\n[]\n" + broadcastLine
            + "\nSigBlk:\t0000000000000000\n");
    EXPECT_FALSE(fs::exists(folder / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    // The hook's output goes to stderr, never among the alert lines.
    EXPECT_EQ(countOf(run.err, "hook says hello\n"), 2u);
    EXPECT_EQ(run.out.find("hook says hello"), std::string::npos);
    EXPECT_TRUE(noChildrenLeft());
}

// A duplicate MAC names the other address as a fifth argument and in the environment.
TEST_F(HookTest, ADuplicateMacGetsTheOtherAddress)
{
    const fs::path hook = writeHook("d=$(dirname \"$0\")\n"
                                    "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done\n"
                                    "  echo \"$TEVRA_SECOND_ADDRESS\"; } > \"$d/call.$1\"\n");
    const fs::path state = root / "state";
    std::ofstream(state) << "tevra-watch state 1\n10.0.0.254\t02-00-00-00-00-FE\t\t3\t1\t1\n";
    const Outcome run = runOnce(
        { arpRow("10.0.0.254", "02-00-00-00-00-66"), arpRow("10.0.0.66", "02-00-00-00-00-66") }, hook, state);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fileText(folder / "call.duplicate-mac"),
        "5\n[duplicate-mac]\n[10.0.0.254]\n[02-00-00-00-00-66]\n[02-00-00-00-00-FE]\n[10.0.0.66]\n10.0.0."
        "66\n");
    EXPECT_TRUE(noChildrenLeft());
}

// A flood of alerts: four hooks at a time, a bounded queue, the rest counted
// and said once; every child reaped.
TEST_F(HookTest, RunsAtMostFourAndSkipsBeyondTheQueue)
{
    fs::create_directories(folder / "running");
    fs::create_directories(folder / "seen");
    // Shell builtins where they serve: a thousand processes take long to start.
    const fs::path hook = writeHook("d=\"${0%/*}\"\n"
                                    ": > \"$d/running/$$\"\n"
                                    "set -- \"$d\"/running/*\n"
                                    "echo $# > \"$d/seen/$$\"\n"
                                    "sleep 0.05\n"
                                    "rm \"$d/running/$$\"\n");
    constexpr std::size_t kAlerts = 80;
    std::vector<hostnet::MibIpNetRow> table;
    for (std::size_t i = 1; i <= kAlerts; ++i)
        table.push_back(arpRow(("10.0.1." + std::to_string(i)).c_str(), "FF-FF-FF-FF-FF-FF"));
    const Outcome run = runOnce(table, hook);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(countOf(run.out, "Broadcast MAC assigned"), kAlerts) << "every alert is still printed";

    const std::size_t ran = kAlerts - 12;
    std::vector<int> concurrent;
    for (const auto& seen : fs::directory_iterator(folder / "seen"))
        concurrent.push_back(std::stoi(fileText(seen.path())));
    EXPECT_EQ(concurrent.size(), ran);
    EXPECT_LE(*std::ranges::max_element(concurrent), 4);
    EXPECT_EQ(countOf(run.err, "tevra-watch: "), 1u) << run.err;
    EXPECT_EQ(countOf(run.err,
                  "tevra-watch: 12 alerts did not run " + hook.string()
                      + ": 4 were running and 64 waiting already\n"),
        1u)
        << run.err;
    EXPECT_TRUE(noChildrenLeft());
}

// The watch loop only ever asks whether a hook has ended: a hook that takes
// its time holds nothing up, and its end wakes the loop through its handle.
TEST_F(HookTest, NeverWaitsForAHook)
{
    const fs::path hook = writeHook("d=$(dirname \"$0\")\n"
                                    "while [ ! -e \"$d/release\" ]; do sleep 0.02; done\n");
    std::FILE* err = std::tmpfile();
    HookRunner runner(hook.string(), err);
    const auto start = std::chrono::steady_clock::now();
    runner.submit({ "broadcast-mac", "10.0.0.7", "FF-FF-FF-FF-FF-FF", "" }, { "TEVRA_ALERT=1 - x" });
    runner.service();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(runner.running(), 1u);
    auto handles = runner.waitHandles();
    ASSERT_EQ(handles.size(), 1u);
    pollfd ended { static_cast<int>(handles[0]), POLLIN, 0 };
    EXPECT_EQ(poll(&ended, 1, 100), 0) << "still running";

    std::ofstream(folder / "release") << "";
    EXPECT_EQ(poll(&ended, 1, 10000), 1);
    runner.service();
    EXPECT_EQ(runner.running(), 0u);
    EXPECT_TRUE(noChildrenLeft());
    EXPECT_EQ(contents(err), "");
    std::fclose(err);
}

struct UnrunnableCase {
    const char* name;
    const char* program;  // relative to the test folder
    const char* reason;
};

void PrintTo(const UnrunnableCase& c, std::ostream* os)
{
    *os << c.name;
}

const UnrunnableCase kUnrunnable[] = {
    { "missing", "nothing here", "No such file or directory" },
    { "folder", ".", "not a file" },
    { "not_executable", "plain", "Permission denied" },
};

class UnrunnableHook : public HookTest, public testing::WithParamInterface<UnrunnableCase> { };

TEST_P(UnrunnableHook, IsACommandLineError)
{
    std::ofstream(folder / "plain") << "#!/bin/sh\n";
    fs::permissions(folder / "plain", fs::perms::owner_read | fs::perms::owner_write);
    const fs::path program = folder / GetParam().program;
    const Outcome run = runOnce({ arpRow("10.0.0.7", "FF-FF-FF-FF-FF-FF") }, program);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tevra-watch: --exec: " + program.string() + ": " + GetParam().reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, UnrunnableHook, testing::ValuesIn(kUnrunnable),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::cli
