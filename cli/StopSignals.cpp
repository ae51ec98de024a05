#include "cli/StopSignals.h"

#include <poll.h>

#include <csignal>

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
    return set;
}

}  // namespace

StopSignals::StopSignals()
{
    stopRequested = 0;
    const sigset_t set = stopSet();
    sigprocmask(SIG_BLOCK, &set, &previousMask_);
    struct sigaction action { };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

StopSignals::~StopSignals()
{
    // Let a signal that came late in reach our handler before the old ones
    // return: it must not kill the program on its way out.
    sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGINT, &previousInt_, nullptr);
}

StopSignals::Wake StopSignals::waitUntil(std::chrono::steady_clock::time_point deadline, int fd)
{
    pollfd feed { fd, POLLIN, 0 };
    return waitUntil(deadline, fd < 0 ? std::span<pollfd>() : std::span<pollfd>(&feed, 1));
}

StopSignals::Wake StopSignals::waitUntil(
    std::chrono::steady_clock::time_point deadline, std::span<pollfd> fds)
{
    // The stop signals are let in only inside ppoll, atomically: one that came
    // during a refresh is pending and ends the very next sleep.
    sigset_t waitMask = previousMask_;
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    while (stopRequested == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return Wake::Deadline;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout { static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(left - seconds).count()) };
        const int ready = ppoll(fds.data(), fds.size(), &timeout, &waitMask);
        if (ready > 0 && stopRequested == 0)
            return Wake::Readable;
    }
    return Wake::Stop;
}

}  // namespace tevra::cli
