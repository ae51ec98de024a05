// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/AlertOutput.h"
#include "cli/WaitHandle.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tevra::cli {

// Runs a program for each alert without ever waiting for one inside the watch
// loop: at most `maxRunning` at once, up to `queueLimit` more waiting their
// turn, and beyond that the runs are skipped, counted and said on `err` when
// the queue has drained or, while they go on, every kSkipReportEvery. A run
// that outlives `timeout` is asked to stop, and killed kKillAfter later, so
// that hung hooks cannot hold every place for good. No shell is involved: the
// program gets its arguments as they are.
class HookRunner {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxRunning = 4;
    static constexpr std::size_t kQueueLimit = 64;
    static constexpr std::chrono::seconds kDefaultTimeout { 30 };
    static constexpr std::chrono::seconds kKillAfter { 5 };
    static constexpr std::chrono::seconds kSkipReportEvery { 10 };

    HookRunner(std::string program, std::FILE* err, std::chrono::seconds timeout = kDefaultTimeout,
        std::size_t maxRunning = kMaxRunning, std::size_t queueLimit = kQueueLimit);
    HookRunner(const HookRunner&) = delete;
    HookRunner& operator=(const HookRunner&) = delete;
    // Children still running are left to finish on their own; they are not killed.
    ~HookRunner() = default;

    // Starts the program with `arguments` (after its own name) and `environment`
    // added to ours, now or when a place is free.
    void submit(std::vector<std::string> arguments, std::vector<std::string> environment);
    // Reaps the children that ended and starts waiting runs in their place;
    // stops the ones past their time, and says what was skipped when due.
    void service();
    // When service() has something to do that no child's end announces: a
    // run's deadline, or skipped alerts to be said. Nothing when there is none.
    std::optional<Clock::time_point> nextDeadline() const;
    // Ready when a child has ended: wait on these, then call service().
    std::vector<WaitHandle> waitHandles() const;
    std::size_t running() const { return children_.size(); }
    std::size_t waiting() const { return queue_.size(); }
    // Forgets the runs still waiting, saying how many, and any skipped ones.
    void abandonWaiting();

private:
    struct Run {
        std::vector<std::string> arguments;
        std::vector<std::string> environment;
    };
    // A started hook as its system knows it (linux/, windows/): a pid and
    // its pidfd, or a process handle. Destroying one gives back what tells
    // its end; the process itself runs on.
    struct Process;
    struct ProcessDeleter {
        void operator()(Process* process) const;
    };
    using ProcessPointer = std::unique_ptr<Process, ProcessDeleter>;
    struct Child {
        ProcessPointer process;
        Clock::time_point started {};
        std::optional<Clock::time_point> askedToStop;
        bool killed = false;
    };

    // What each system does its own way (linux/, windows/).
    static void prepareChildren();
    // The program started with `argv`, our environment with `environment`
    // put in, and the standard handles a hook gets; null with `error` set
    // when it could not start.
    ProcessPointer spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
        std::string& error) const;
    // Whether the process has ended, reaping it where the system wants that.
    static bool reaped(const Process& process);
    static WaitHandle waitHandleOf(const Process& process);
    // Asks the process to end (SIGTERM), or with `kill` ends it (SIGKILL).
    static void stop(const Process& process, bool kill);

    void start(const Run& run);
    void stopOverdue(Clock::time_point now);
    std::optional<Clock::time_point> skippedReportDue() const;
    void reportSkipped(Clock::time_point now);

    std::string program_;
    std::FILE* err_;
    std::chrono::seconds timeout_;
    std::size_t maxRunning_;
    std::size_t queueLimit_;
    std::vector<Child> children_;
    std::deque<Run> queue_;
    std::size_t skipped_ = 0;
    Clock::time_point firstSkipped_ {};  // of those not said yet
    std::optional<Clock::time_point> lastSkipReport_;
    bool startFailing_ = false;
};

// Hands each alert to the runner: arguments kind, address, MAC and previous
// MAC (empty when there is none), and for a duplicate MAC the other address,
// for a changed default route the new gateway; the alert line in
// TEVRA_ALERT, and TEVRA_INTERFACE, TEVRA_SECOND_ADDRESS, TEVRA_GATEWAY and
// TEVRA_PREVIOUS_GATEWAY where the alert has them.
class HookSink : public AlertSink {
public:
    explicit HookSink(HookRunner& runner);
    void deliver(const Alert& alert) override;

private:
    HookRunner& runner_;
};

// Whether `program` names something that can be run: a path, or a name found
// on PATH. Empty when it can, else why not.
std::string checkRunnable(const std::string& program);

}  // namespace tevra::cli
