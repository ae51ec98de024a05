#pragma once

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

    // Sleeps until `deadline` or until one of `handles` is readable; false as
    // soon as a stop was asked for.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline, std::span<const int> handles = {});

private:
    sigset_t previousMask_;
    struct sigaction previousInt_;
    struct sigaction previousTerm_;
};

}  // namespace tevra::cli
