// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StopSignals.h"

#include <poll.h>
#include <signal.h>

#include <csignal>
#include <vector>

namespace tevra::cli {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal or a service manager's hang-up ends the watch the same
    // way, with the state saved, rather than killing it.
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

// A descriptor is what Linux waits on.
WaitHandle descriptorWaitHandle(int descriptor)
{
    return WaitHandle { descriptor };
}

// SIGINT, SIGTERM and SIGHUP are held back except while the loop sleeps.
struct StopSignals::Saved {
    sigset_t mask;
    struct sigaction onInt;
    struct sigaction onTerm;
    struct sigaction onHup;
    struct sigaction onPipe;
};

StopSignals::StopSignals()
    : saved_(std::make_unique<Saved>())
{
    stopRequested = 0;
    const sigset_t set = stopSet();
    sigprocmask(SIG_BLOCK, &set, &saved_->mask);
    struct sigaction action { };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &saved_->onInt);
    sigaction(SIGTERM, &action, &saved_->onTerm);
    sigaction(SIGHUP, &action, &saved_->onHup);
    // A reader that has gone shows as a failed write, so the watch can end
    // in order (the state saved) instead of being killed mid-step.
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &saved_->onPipe);
}

StopSignals::~StopSignals()
{
    // Let a signal that came late in reach our handler before the old ones
    // return: it must not kill the program on its way out.
    sigprocmask(SIG_SETMASK, &saved_->mask, nullptr);
    sigaction(SIGPIPE, &saved_->onPipe, nullptr);
    sigaction(SIGHUP, &saved_->onHup, nullptr);
    sigaction(SIGTERM, &saved_->onTerm, nullptr);
    sigaction(SIGINT, &saved_->onInt, nullptr);
}

StopSignals::Wake StopSignals::waitUntil(
    std::chrono::steady_clock::time_point deadline, std::span<Waitable> waitables)
{
    std::vector<pollfd> fds;
    for (const Waitable& waitable : waitables)
        fds.push_back({ static_cast<int>(waitable.handle), POLLIN, 0 });
    // The stop signals are let in only inside ppoll, atomically: one that came
    // during a refresh is pending and ends the very next sleep.
    sigset_t waitMask = saved_->mask;
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    while (stopRequested == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return Wake::Deadline;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout { static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(left - seconds).count()) };
        const int ready = ppoll(fds.data(), fds.size(), &timeout, &waitMask);
        if (ready > 0 && stopRequested == 0) {
            for (std::size_t i = 0; i < fds.size(); ++i)
                waitables[i].readable = fds[i].revents != 0;
            return Wake::Readable;
        }
    }
    return Wake::Stop;
}

}  // namespace tevra::cli
