// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/ElevatedLauncher.h"
#include "ui/win32/RunasWorker.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tevra::win32 {

// The window's ElevatedLauncher on Windows. Each step goes to the helper
// through RunasWorker, off the window's thread, as the consent prompt keeps
// ShellExecuteExW from returning; the answer comes back through a
// message-only window of the thread that made the launcher, so `onDone` runs
// from that thread's message loop (the window's own, or a message box's).
// Steps started while one runs wait their turn.
class RunasElevatedLauncher : public ElevatedLauncher {
public:
    explicit RunasElevatedLauncher(std::unique_ptr<RunasLauncher> launcher);
    ~RunasElevatedLauncher() override;
    RunasElevatedLauncher(const RunasElevatedLauncher&) = delete;
    RunasElevatedLauncher& operator=(const RunasElevatedLauncher&) = delete;

    // False when the message-only window could not be made: no answer could
    // reach the window's thread, so the launcher must not be used.
    bool ready() const { return window_ != nullptr; }

    void start(std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone) override;

    static constexpr UINT kAnswerMessage = WM_APP + 7;

private:
    struct Step {
        std::vector<std::string> arguments;
        std::function<void(ElevatedResult)> onDone;
    };
    // What the worker's thread hands over: the answers, in order.
    struct Answers;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void startNext();
    void answered();

    HWND window_ = nullptr;
    std::shared_ptr<Answers> answers_;
    std::deque<Step> waiting_;
    // Whom the step under way answers; none while no step runs.
    std::optional<std::function<void(ElevatedResult)>> running_;
    std::unique_ptr<RunasWorker> worker_;
};

}  // namespace tevra::win32
