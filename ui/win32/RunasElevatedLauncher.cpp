// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/RunasElevatedLauncher.h"

#include <mutex>
#include <utility>

namespace tevra::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TevraRunasAnswers";

}  // namespace

struct RunasElevatedLauncher::Answers {
    std::mutex mutex;
    std::deque<ElevatedResult> results;
    HWND window = nullptr;
};

RunasElevatedLauncher::RunasElevatedLauncher(std::unique_ptr<RunasLauncher> launcher)
    : answers_(std::make_shared<Answers>())
    , worker_(std::make_unique<RunasWorker>(std::move(launcher)))
{
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    // Registered by the first launcher of the process; later ones find it there.
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(
        0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), this);
    answers_->window = window_;
}

RunasElevatedLauncher::~RunasElevatedLauncher()
{
    // First the worker, which drops the answer of a prompt still open, then
    // the window its answers were posted to.
    worker_.reset();
    if (window_)
        DestroyWindow(window_);
}

void RunasElevatedLauncher::start(
    std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone)
{
    waiting_.push_back({ std::move(arguments), std::move(onDone) });
    startNext();
}

void RunasElevatedLauncher::startNext()
{
    if (running_ || waiting_.empty())
        return;
    Step step = std::move(waiting_.front());
    waiting_.pop_front();
    running_ = std::move(step.onDone);
    const std::shared_ptr<Answers> answers = answers_;
    auto post = [answers](ElevatedResult result) {
        const std::lock_guard lock(answers->mutex);
        answers->results.push_back(std::move(result));
        PostMessageW(answers->window, kAnswerMessage, 0, 0);
    };
    // The worker is idle here: its last run had ended before its answer was
    // posted. Should it still refuse, the step is answered, never lost.
    if (!worker_->start({ std::move(step.arguments) }, post))
        post(ElevatedFailure { "the helper is already running", false });
}

void RunasElevatedLauncher::answered()
{
    ElevatedResult result;
    {
        const std::lock_guard lock(answers_->mutex);
        if (answers_->results.empty())
            return;
        result = std::move(answers_->results.front());
        answers_->results.pop_front();
    }
    if (!running_)
        return;
    std::function<void(ElevatedResult)> onDone = std::move(*running_);
    running_.reset();
    if (onDone)
        onDone(std::move(result));
    startNext();
}

LRESULT CALLBACK RunasElevatedLauncher::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    } else if (message == kAnswerMessage) {
        if (auto* self = reinterpret_cast<RunasElevatedLauncher*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            self->answered();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tevra::win32
