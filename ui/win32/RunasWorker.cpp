// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/RunasWorker.h"

#include <mutex>
#include <thread>
#include <utility>

namespace tevra::win32 {

// What the worker and its running thread share; the thread keeps it alive
// after the worker has gone.
struct RunasWorker::Shared {
    explicit Shared(std::unique_ptr<RunasLauncher> launcher)
        : launcher(std::move(launcher))
    {
    }

    const std::unique_ptr<RunasLauncher> launcher;
    std::mutex mutex;
    bool running = false;
    bool abandoned = false;
};

RunasWorker::RunasWorker(std::unique_ptr<RunasLauncher> launcher)
    : shared_(std::make_shared<Shared>(std::move(launcher)))
{
}

RunasWorker::~RunasWorker()
{
    const std::lock_guard lock(shared_->mutex);
    shared_->abandoned = true;
}

bool RunasWorker::start(std::vector<std::vector<std::string>> steps, Done done)
{
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->running)
            return false;
        shared_->running = true;
    }
    std::thread([shared = shared_, steps = std::move(steps), done = std::move(done)] {
        ElevatedResult answer = shared->launcher->run(steps);
        const std::lock_guard lock(shared->mutex);
        shared->running = false;
        // Said under the lock, so that the worker cannot go in between.
        if (!shared->abandoned)
            done(std::move(answer));
    }).detach();
    return true;
}

}  // namespace tevra::win32
