// SPDX-License-Identifier: GPL-3.0-or-later
// The helper's run beside the window's thread: while Windows' consent prompt
// is open (a stand-in that does not return until the test lets it), start
// returns at once, the caller's thread goes on, and the answer comes later.
#include "ui/core/HelperAnswers.h"
#include "ui/win32/RunasElevatedLauncher.h"
#include "ui/win32/RunasWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace tevra::win32 {
namespace {

using namespace std::chrono_literals;

// A consent prompt that stays open until answered, then the helper's exit code.
class SlowPrompt : public ShellApi {
public:
    SlowPrompt(std::shared_future<BOOL> consent, DWORD exitCode)
        : consent_(std::move(consent))
        , exitCode_(exitCode)
    {
    }

    BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) override
    {
        started_ = consent_.get();
        info->hProcess = started_ ? reinterpret_cast<HANDLE>(0x7000) : nullptr;
        return started_;
    }
    DWORD lastError() override { return ERROR_CANCELLED; }
    DWORD waitForSingleObject(HANDLE, DWORD) override { return WAIT_OBJECT_0; }
    BOOL getExitCodeProcess(HANDLE, DWORD* exitCode) override
    {
        *exitCode = exitCode_;
        return TRUE;
    }
    BOOL closeHandle(HANDLE) override { return TRUE; }

private:
    std::shared_future<BOOL> consent_;
    DWORD exitCode_;
    BOOL started_ = FALSE;
};

struct Prompt {
    std::promise<BOOL> answer;
    std::unique_ptr<RunasWorker> worker;

    explicit Prompt(DWORD exitCode)
    {
        auto launcher = std::make_unique<RunasLauncher>(
            L"tevra-arp-helper.exe", std::make_unique<SlowPrompt>(answer.get_future().share(), exitCode));
        worker = std::make_unique<RunasWorker>(std::move(launcher));
    }
};

using Answer = std::optional<ElevatedFailure>;

TEST(RunasWorker, ReturnsAtOnceAndSaysTheAnswerWhenThePromptIsAnswered)
{
    for (const BOOL consent : { TRUE, FALSE }) {
        Prompt prompt(0);
        std::promise<Answer> said;
        ASSERT_TRUE(
            prompt.worker->start({ { "flush", "2" } }, [&said](Answer answer) { said.set_value(answer); }));
        std::future<Answer> answer = said.get_future();
        // The prompt is open: nothing said yet, and no second run meanwhile.
        EXPECT_EQ(answer.wait_for(200ms), std::future_status::timeout);
        EXPECT_FALSE(prompt.worker->start({ { "flush", "3" } }, [](Answer) { FAIL() << "a second run"; }));

        prompt.answer.set_value(consent);
        ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
        const Answer expected
            = consent ? Answer {} : Answer { ElevatedFailure { std::string(kConsentDismissed), true } };
        EXPECT_EQ(answer.get(), expected);
    }
}

TEST(RunasWorker, TakesTheNextRunOnceTheLastHasAnswered)
{
    Prompt prompt(kHelperSystemRefused);
    prompt.answer.set_value(TRUE);
    for (int run = 0; run < 2; ++run) {
        std::promise<Answer> said;
        std::future<Answer> answer = said.get_future();
        ASSERT_TRUE(prompt.worker->start({ { "flush", "2" } }, [&said](Answer a) { said.set_value(a); }))
            << run;
        ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
        // Done with the run before the answer is said: the next may start at once.
        EXPECT_EQ(answer.get(), (ElevatedFailure { "the system refused the change", false }));
    }
}

TEST(RunasWorker, AWindowClosedDuringThePromptIsNotToldTheAnswer)
{
    auto prompt = std::make_unique<Prompt>(0);
    bool told = false;
    ASSERT_TRUE(prompt->worker->start({ { "flush", "2" } }, [&told](Answer) { told = true; }));
    // The worker goes while the prompt is open, without waiting for it.
    const auto closing = std::chrono::steady_clock::now();
    prompt->worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s);
    prompt->answer.set_value(TRUE);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(told);
}

// --- The window's launcher: the answer on the window's thread ---

// This thread's messages handled until `done` holds, for at most ten seconds.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds most = 10s)
{
    const auto end = std::chrono::steady_clock::now() + most;
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

std::unique_ptr<RunasElevatedLauncher> elevatedLauncher(std::promise<BOOL>& consent, DWORD exitCode)
{
    return std::make_unique<RunasElevatedLauncher>(std::make_unique<RunasLauncher>(
        L"tevra-arp-helper.exe", std::make_unique<SlowPrompt>(consent.get_future().share(), exitCode)));
}

TEST(RunasElevatedLauncher, AnswersOnItsOwnThreadFromTheMessageLoopOneStepAfterAnother)
{
    std::promise<BOOL> consent;
    const auto launcher = elevatedLauncher(consent, kHelperSystemRefused);
    ASSERT_TRUE(launcher->ready());
    std::vector<std::pair<int, Answer>> said;
    std::vector<DWORD> threads;
    for (const int step : { 1, 2 })
        launcher->start({ "flush", std::to_string(step) }, [&said, &threads, step](Answer answer) {
            said.emplace_back(step, std::move(answer));
            threads.push_back(GetCurrentThreadId());
        });
    EXPECT_TRUE(said.empty()) << "never from within start";
    // The prompt is open: this thread goes on, nothing is said.
    EXPECT_FALSE(pumpUntil([&said] { return !said.empty(); }, 200ms));

    consent.set_value(TRUE);
    ASSERT_TRUE(pumpUntil([&said] { return said.size() == 2; }));
    const Answer refused = ElevatedFailure { std::string(kSystemRefusedChange), false };
    EXPECT_EQ(said, (std::vector<std::pair<int, Answer>> { { 1, refused }, { 2, refused } }));
    EXPECT_EQ(threads, (std::vector<DWORD> { GetCurrentThreadId(), GetCurrentThreadId() }));
}

TEST(RunasElevatedLauncher, GoneDuringThePromptTellsNoOne)
{
    std::promise<BOOL> consent;
    auto launcher = elevatedLauncher(consent, 0);
    bool told = false;
    launcher->start({ "flush", "2" }, [&told](Answer) { told = true; });
    launcher.reset();
    consent.set_value(TRUE);
    EXPECT_FALSE(pumpUntil([&told] { return told; }, 300ms));
}

}  // namespace
}  // namespace tevra::win32
