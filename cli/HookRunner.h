#pragma once

#include "cli/AlertOutput.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace tevra::cli {

// Runs a program for each alert without ever waiting for one inside the watch
// loop: at most `maxRunning` at once, up to `queueLimit` more waiting their
// turn, and beyond that the runs are skipped, counted and reported once on
// `err` when the queue has drained. No shell is involved: the program gets
// its arguments as they are.
class HookRunner {
public:
    static constexpr std::size_t kMaxRunning = 4;
    static constexpr std::size_t kQueueLimit = 64;

    HookRunner(std::string program, std::FILE* err, std::size_t maxRunning = kMaxRunning,
        std::size_t queueLimit = kQueueLimit);
    HookRunner(const HookRunner&) = delete;
    HookRunner& operator=(const HookRunner&) = delete;
    // Children still running are left to finish on their own; they are not killed.
    ~HookRunner();

    // Starts the program with `arguments` (after its own name) and `environment`
    // added to ours, now or when a place is free.
    void submit(std::vector<std::string> arguments, std::vector<std::string> environment);
    // Reaps the children that ended and starts waiting runs in their place.
    void service();
    // Readable (signalled, on Windows) when a child has ended: wait on these,
    // then call service().
    std::vector<int> waitHandles() const;
    std::size_t running() const { return children_.size(); }
    std::size_t waiting() const { return queue_.size(); }
    // Forgets the runs still waiting, saying how many, and any skipped ones.
    void abandonWaiting();

private:
    struct Run {
        std::vector<std::string> arguments;
        std::vector<std::string> environment;
    };
    struct Child {
        pid_t pid = -1;
        // What tells its end: a pidfd on Linux, or -1 where the kernel has
        // none; on Windows the process handle, as HandleToLong gives it.
        int handle = -1;
    };

    // What each system does its own way (linux/, windows/).
    void start(const Run& run);
    bool reaped(const Child& child) const;
    static void release(const Child& child);

    void reportSkipped();

    std::string program_;
    std::FILE* err_;
    std::size_t maxRunning_;
    std::size_t queueLimit_;
    std::vector<Child> children_;
    std::deque<Run> queue_;
    std::size_t skipped_ = 0;
    bool startFailing_ = false;
};

// Hands each alert to the runner: arguments kind, address, MAC and previous
// MAC (empty when there is none), the alert line in TEVRA_ALERT.
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
