#pragma once

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <span>

namespace tevra::cli {

// SIGINT and SIGTERM ask the watch loop to stop. They are held back except
// while the loop sleeps, so a refresh under way always runs to its end first.
// One object at a time, for the life of the loop.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    enum class Wake { Stop, Deadline, Readable };

    // Sleeps until `deadline` or until one of `fds` is readable (their revents
    // say which); a stop asked for wins over both.
    Wake waitUntil(std::chrono::steady_clock::time_point deadline, std::span<pollfd> fds);
    // The same for one descriptor, if not -1.
    Wake waitUntil(std::chrono::steady_clock::time_point deadline, int fd = -1);
    // Sleeps until `deadline`; false as soon as a stop was asked for.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline)
    {
        return waitUntil(deadline) != Wake::Stop;
    }

private:
    sigset_t previousMask_;
    struct sigaction previousInt_;
    struct sigaction previousTerm_;
};

}  // namespace tevra::cli
