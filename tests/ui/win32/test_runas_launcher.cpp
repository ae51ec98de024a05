// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-arp-helper.exe run with the verb "runas": what is asked of Windows,
// and what the window says for each answer. Wine has no consent prompt, so
// the answers are scripted through the seam; the system's calls run the real
// helper with arguments it refuses, which is harmless on any machine.
#include "TempFolder.h"
#include "hostnet/windows/WindowsText.h"
#include "ui/core/HelperAnswers.h"
#include "ui/win32/RunasLauncher.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tevra::win32 {
namespace {

namespace fs = std::filesystem;

// What Windows answers to one launch.
struct Answer {
    BOOL started = TRUE;
    DWORD error = ERROR_SUCCESS;  // when not started
    bool process = true;  // a process handle handed back
    DWORD wait = WAIT_OBJECT_0;
    BOOL exitKnown = TRUE;
    DWORD exitCode = 0;
};

// One launch as ShellExecuteExW was asked for it.
struct Launch {
    DWORD size = 0;
    ULONG mask = 0;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    int show = -1;
};

struct Recording {
    std::vector<Launch> launches;
    std::vector<DWORD> waitTimeouts;
    std::vector<HANDLE> closed;
};

// A handle that is never a real one; each launch hands out its own.
HANDLE fakeProcess(std::size_t launch)
{
    return reinterpret_cast<HANDLE>(0x7000 + launch * 8);
}

class RecordingShellApi : public ShellApi {
public:
    RecordingShellApi(std::vector<Answer> answers, Recording& recording)
        : answers_(std::move(answers))
        , recording_(recording)
    {
    }

    BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) override
    {
        const std::size_t index = recording_.launches.size();
        recording_.launches.push_back({ info->cbSize, info->fMask, text(info->lpVerb), text(info->lpFile),
            text(info->lpParameters), info->nShow });
        current_ = index < answers_.size() ? answers_[index] : Answer { FALSE, ERROR_GEN_FAILURE };
        info->hProcess = current_.started && current_.process ? fakeProcess(index) : nullptr;
        return current_.started;
    }
    DWORD lastError() override { return current_.error; }
    DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds) override
    {
        EXPECT_EQ(handle, fakeProcess(recording_.launches.size() - 1));
        recording_.waitTimeouts.push_back(milliseconds);
        return current_.wait;
    }
    BOOL getExitCodeProcess(HANDLE, DWORD* exitCode) override
    {
        *exitCode = current_.exitCode;
        return current_.exitKnown;
    }
    BOOL closeHandle(HANDLE handle) override
    {
        recording_.closed.push_back(handle);
        return TRUE;
    }

private:
    static std::wstring text(const wchar_t* value) { return value ? value : L"(null)"; }

    std::vector<Answer> answers_;
    Recording& recording_;
    Answer current_;
};

const fs::path kHelper = L"C:\\Program Files\\Tevra\\tevra-arp-helper.exe";

TEST(RunasLauncher, AsksWindowsToRunTheHelperAsAdministratorAndWaitsForIt)
{
    Recording recording;
    const RunasLauncher launcher(
        kHelper, std::make_unique<RecordingShellApi>(std::vector<Answer> { {}, {} }, recording));
    EXPECT_EQ(launcher.run({ { "delete", "10.66.0.5", "2" }, { "flush", "2147483647" } }), std::nullopt);

    ASSERT_EQ(recording.launches.size(), 2u);
    for (const Launch& launch : recording.launches) {
        EXPECT_EQ(launch.size, sizeof(SHELLEXECUTEINFOW));
        EXPECT_EQ(launch.verb, L"runas");
        EXPECT_EQ(launch.file, kHelper.wstring());
        // The handle is what the exit code is read from.
        EXPECT_TRUE(launch.mask & SEE_MASK_NOCLOSEPROCESS);
        EXPECT_EQ(launch.show, SW_HIDE);
    }
    EXPECT_EQ(recording.launches[0].parameters, L"delete 10.66.0.5 2");
    EXPECT_EQ(recording.launches[1].parameters, L"flush 2147483647");
    EXPECT_EQ(recording.waitTimeouts,
        (std::vector<DWORD> { RunasLauncher::kHelperTimeoutMs, RunasLauncher::kHelperTimeoutMs }));
    EXPECT_EQ(recording.closed, (std::vector<HANDLE> { fakeProcess(0), fakeProcess(1) }));
}

// Each answer of Windows or the helper, and what the window says for it.
struct AnswerCase {
    const char* name;
    std::vector<Answer> answers;
    std::optional<ElevatedFailure> said;
    std::size_t launches;  // of the two steps asked for
};

void PrintTo(const AnswerCase& answer, std::ostream* os)
{
    *os << answer.name;
}

ElevatedFailure says(std::string reason, bool rightsRefused = false)
{
    return { std::move(reason), rightsRefused };
}

const AnswerCase kAnswerCases[] = {
    { "both_done", { {}, {} }, std::nullopt, 2 },
    // The same words as when the desktop's prompt is dismissed on Linux; no
    // second prompt for the next step.
    { "consent_dismissed", { { .started = FALSE, .error = ERROR_CANCELLED } },
        says(std::string(kConsentDismissed), true), 1 },
    { "helper_missing", { { .started = FALSE, .error = ERROR_FILE_NOT_FOUND } },
        says("tevra-arp-helper.exe could not be started: " + hostnet::systemMessage(ERROR_FILE_NOT_FOUND)),
        1 },
    { "system_refused", { { .exitCode = 1 } }, says("the system refused the change"), 1 },
    { "second_step_refused", { {}, { .exitCode = 1 } }, says("the system refused the change"), 2 },
    { "arguments_refused", { { .exitCode = 2 } }, says(std::string(kHelperRefusedArguments)), 1 },
    { "helper_crashed", { { .exitCode = 0xC0000005 } }, says("the helper failed (exit status 3221225477)"),
        1 },
    { "no_answer", { { .wait = WAIT_TIMEOUT } }, says("no answer from tevra-arp-helper.exe"), 1 },
    { "wait_failed", { { .wait = WAIT_FAILED } }, says("no answer from tevra-arp-helper.exe"), 1 },
    { "exit_code_unknown", { { .exitKnown = FALSE } },
        says("tevra-arp-helper.exe ended without an exit code"), 1 },
    { "no_process", { { .process = false } }, says("tevra-arp-helper.exe gave no process to wait for"), 1 },
};

class RunasAnswers : public testing::TestWithParam<AnswerCase> { };

TEST_P(RunasAnswers, AreSaidAndEveryProcessHandleClosed)
{
    const AnswerCase& answer = GetParam();
    Recording recording;
    const RunasLauncher launcher(kHelper, std::make_unique<RecordingShellApi>(answer.answers, recording));
    EXPECT_EQ(launcher.run({ { "flush", "2" }, { "flush", "3" } }), answer.said);
    EXPECT_EQ(recording.launches.size(), answer.launches);
    std::vector<HANDLE> handed;
    for (std::size_t i = 0; i < recording.launches.size(); ++i)
        if (answer.answers[i].started && answer.answers[i].process)
            handed.push_back(fakeProcess(i));
    EXPECT_EQ(recording.closed, handed);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunasAnswers, testing::ValuesIn(kAnswerCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunasLauncher, PassesOnlyPlainWordsAndNumbers)
{
    for (const std::vector<std::string>& step : std::vector<std::vector<std::string>> {
             { "flush", "2 & calc" }, { "flush", "\"2\"" }, { "flush", "" }, { "flush", "2\t3" } }) {
        Recording recording;
        const RunasLauncher launcher(
            kHelper, std::make_unique<RecordingShellApi>(std::vector<Answer> { {} }, recording));
        EXPECT_EQ(launcher.run({ step }), says("the helper's arguments cannot be passed on")) << step[1];
        EXPECT_TRUE(recording.launches.empty());
    }
}

// --- The system's calls, on the real helper ---

fs::path thisProgramsFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(std::wstring(path, length)).parent_path();
}

// build/tests/ui/win32/ -> build/helper/
const fs::path kBuiltHelper = thisProgramsFolder() / L"../../../helper/tevra-arp-helper.exe";

TEST(RunasLauncherOnTheSystem, ReadsTheHelpersExitCode)
{
    ASSERT_TRUE(fs::is_regular_file(kBuiltHelper)) << kBuiltHelper.string();
    const RunasLauncher launcher(kBuiltHelper, makeSystemShellApi());
    EXPECT_EQ(launcher.run({ { "flush", "0" } }), says(std::string(kHelperRefusedArguments)));
    EXPECT_EQ(launcher.run({ { "delete", "10.66.0.5" } }), says(std::string(kHelperRefusedArguments)));
}

TEST(RunasLauncherOnTheSystem, SaysAMissingHelper)
{
    const test::TempFolder folder;
    const fs::path missing = fs::path(folder.path()) / L"tevra-arp-helper.exe";
    const RunasLauncher launcher(missing, makeSystemShellApi());
    const std::optional<ElevatedFailure> said = launcher.run({ { "flush", "2" } });
    ASSERT_TRUE(said);
    EXPECT_TRUE(said->reason.starts_with("tevra-arp-helper.exe could not be started: ")) << said->reason;
    EXPECT_FALSE(said->rightsRefused);
}

TEST(FindHelper, OnlyBesideTheProgram)
{
    const test::TempFolder folder;
    const fs::path root(folder.path());
    const fs::path program = root / "Tevra" / "bin";
    fs::create_directories(program);
    // One planted in a folder above, as anyone may write into C:\, is never run.
    std::ofstream(root / "tevra-arp-helper.exe") << "MZ";
    std::ofstream(root / "Tevra" / "tevra-arp-helper.exe") << "MZ";
    EXPECT_EQ(findHelper(program), fs::path());
    fs::create_directory(program / "tevra-arp-helper.exe");
    EXPECT_EQ(findHelper(program), fs::path());
    fs::remove(program / "tevra-arp-helper.exe");

    std::ofstream(program / "tevra-arp-helper.exe") << "MZ";
    EXPECT_EQ(findHelper(program), program / "tevra-arp-helper.exe");
}

}  // namespace
}  // namespace tevra::win32
