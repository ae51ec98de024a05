// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/win32/RunasLauncher.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tevra::win32 {

// Runs the helper's steps on a thread of its own: ShellExecuteExW does not
// return while Windows' consent prompt is open, and the window must keep
// ticking and alerting meanwhile. The answer goes to `done` on that thread:
// the window hands it to its own thread (PostMessage) before touching
// anything, and starts no run from there.
class RunasWorker {
public:
    using Done = std::function<void(ElevatedResult)>;

    explicit RunasWorker(std::unique_ptr<RunasLauncher> launcher);
    RunasWorker(const RunasWorker&) = delete;
    RunasWorker& operator=(const RunasWorker&) = delete;
    // Does not wait for a run still going (a prompt may stay open for
    // minutes): that run ends on its own and its answer is dropped.
    ~RunasWorker();

    // Starts the steps and returns at once; false, and nothing started, while
    // an earlier run has not answered yet.
    bool start(std::vector<std::vector<std::string>> steps, Done done);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace tevra::win32
