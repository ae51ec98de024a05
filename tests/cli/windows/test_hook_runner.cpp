// SPDX-License-Identifier: GPL-3.0-or-later
// --exec on Windows: real processes started with CreateProcessW for alerts,
// and command lines split back by the system's own parser.
#include "FileText.h"
#include "cli/ConsoleWatch.h"
#include "cli/windows/CommandLine.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/cli/WatchRun.h"
#include "tests/support/ScriptedRows.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
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

// --- The command line a hook is given ---

struct QuotingCase {
    const char* name;
    std::vector<std::wstring> arguments;
};

void PrintTo(const QuotingCase& c, std::ostream* os)
{
    *os << c.name;
}

const QuotingCase kQuotingCases[] = {
    { "plain", { L"C:\\hooks\\hook.exe", L"mapping-changed", L"10.0.0.1", L"00-0C-29-44-55-66" } },
    { "empty", { L"C:\\hooks\\hook.exe", L"broadcast-mac", L"", L"x", L"" } },
    { "spaces", { L"C:\\on alert\\my hook.exe", L"a b", L"\tc", L" " } },
    { "quotes", { L"hook", L"say \"hi\"", L"\"", L"\"\"", L"a\"b c" } },
    { "backslashes", { L"hook", L"C:\\path\\", L"C:\\my path\\", L"a\\\\b", L"\\\"", L"end\\\\ x\\\\" } },
    { "shell_characters", { L"hook", L"&|<>^%PATH%", L"Gr\u00fc\u00dfe" } },
};

class HookCommandLine : public testing::TestWithParam<QuotingCase> { };

TEST_P(HookCommandLine, SplitsBackIntoTheSameArguments)
{
    const std::vector<std::wstring>& arguments = GetParam().arguments;
    const std::wstring line = commandLine(arguments);
    int count = 0;
    wchar_t** parsed = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(parsed, nullptr);
    const std::vector<std::wstring> back(parsed, parsed + count);
    LocalFree(parsed);
    EXPECT_EQ(back, arguments);
}

INSTANTIATE_TEST_SUITE_P(Cases, HookCommandLine, testing::ValuesIn(kQuotingCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Hooks run ---

// The recorder built beside this test program.
fs::path recorder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(std::wstring(path, length)).parent_path() / "hook_recorder.exe";
}

// A hook in a folder whose name cmd.exe would take apart: if anything went
// through a shell, the hook would not be found.
class HookTest : public testing::Test {
protected:
    HookTest()
    {
        folder = fs::path(temporary.path()) / "on alert & echo pwned";
        fs::create_directories(folder);
        hook = folder / "hook recorder.exe";
        fs::copy_file(recorder(), hook);
    }

    Outcome runOnce(std::vector<hostnet::MibIpNetRow> table, const std::string& state = {})
    {
        WatchOptions options;
        options.execProgram = hook.string();
        options.statePath = state;
        return test::runWatchOnce(options, std::move(table));
    }

    test::TempFolder temporary;
    fs::path folder;
    fs::path hook;
};

TEST_F(HookTest, GetsKindAddressMacsAndTheLineWithoutAShell)
{
    // The state file makes 10.0.0.1 a known address, so that this single
    // reading has a changed mapping as well as a broadcast MAC.
    const fs::path state = folder / "state";
    std::ofstream(state, std::ios::binary) << "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\t\t3\t1\t1\n";
    const Outcome run = runOnce(
        { arpRow("10.0.0.1", "00-0C-29-44-55-66"), arpRow("10.0.0.7", "FF-FF-FF-FF-FF-FF") }, state.string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream printed(run.out);
    std::string changedLine;
    std::string broadcastLine;
    std::getline(printed, changedLine);
    std::getline(printed, broadcastLine);

    EXPECT_EQ(fileText(folder / "call.mapping-changed"),
        "4\n[mapping-changed]\n[10.0.0.1]\n[00-0C-29-44-55-66]\n[00-0C-29-11-22-33]\n" + changedLine + "\n");
    EXPECT_EQ(fileText(folder / "call.broadcast-mac"),
        "4\n[broadcast-mac]\n[10.0.0.7]\n[FF-FF-FF-FF-FF-FF]\n[]\n" + broadcastLine + "\n");
    // The hook's output goes to the error stream, never among the alert lines.
    EXPECT_EQ(countOf(run.err, "hook says hello"), 2u) << run.err;
    EXPECT_EQ(run.out.find("hook says hello"), std::string::npos);
}

// A flood of alerts: four hooks at a time, a bounded queue, the rest counted
// and said once.
TEST_F(HookTest, RunsAtMostFourAndSkipsBeyondTheQueue)
{
    fs::create_directories(folder / "running");
    fs::create_directories(folder / "seen");
    constexpr std::size_t kAlerts = 80;
    std::vector<hostnet::MibIpNetRow> table;
    for (std::size_t i = 1; i <= kAlerts; ++i)
        table.push_back(arpRow(("10.0.1." + std::to_string(i)).c_str(), "FF-FF-FF-FF-FF-FF"));
    const Outcome run = runOnce(table);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(countOf(run.out, "Broadcast MAC assigned"), kAlerts) << "every alert is still printed";

    std::vector<int> concurrent;
    for (const auto& seen : fs::directory_iterator(folder / "seen"))
        concurrent.push_back(std::stoi(fileText(seen.path())));
    EXPECT_EQ(concurrent.size(), kAlerts - 12);
    EXPECT_LE(*std::ranges::max_element(concurrent), 4);
    EXPECT_EQ(countOf(run.err,
                  "tevra-watch: 12 alerts did not run " + hook.string()
                      + ": 4 were running and 64 waiting already\n"),
        1u)
        << run.err;
}

TEST(HookCheck, AMissingProgramIsACommandLineError)
{
    WatchOptions options;
    options.execProgram = "C:\\no such folder\\hook.exe";
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(runWatch(options, std::make_unique<hostnet::FakeIpHelper>(), out, err), 2);
    EXPECT_TRUE(contents(err).starts_with("tevra-watch: --exec: C:\\no such folder\\hook.exe: "))
        << contents(err);
    std::fclose(out);
    std::fclose(err);
}

}  // namespace
}  // namespace tevra::cli
