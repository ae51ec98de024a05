// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HookRunner.h"

#include "engine/Address.h"

namespace tevra::cli {

HookRunner::HookRunner(std::string program, std::FILE* err, std::chrono::seconds timeout,
    std::size_t maxRunning, std::size_t queueLimit)
    : program_(std::move(program))
    , err_(err)
    , timeout_(timeout)
    , maxRunning_(maxRunning)
    , queueLimit_(queueLimit)
{
    prepareChildren();
}

void HookRunner::submit(std::vector<std::string> arguments, std::vector<std::string> environment)
{
    Run run { std::move(arguments), std::move(environment) };
    if (children_.size() < maxRunning_ && queue_.empty()) {
        start(run);
    } else if (queue_.size() < queueLimit_) {
        queue_.push_back(std::move(run));
    } else {
        if (skipped_++ == 0)
            firstSkipped_ = Clock::now();
    }
}

void HookRunner::start(const Run& run)
{
    std::vector<std::string> argv { program_ };
    argv.insert(argv.end(), run.arguments.begin(), run.arguments.end());
    std::string error;
    // What we said before the child speaks stays before it.
    std::fflush(err_);
    ProcessPointer process = spawn(argv, run.environment, error);
    if (!process) {
        // Said once until a start succeeds again, not once per alert.
        if (!startFailing_)
            std::fprintf(err_, "tevra-watch: cannot run %s: %s\n", program_.c_str(), error.c_str());
        startFailing_ = true;
        return;
    }
    startFailing_ = false;
    children_.push_back({ std::move(process), Clock::now(), std::nullopt });
}

void HookRunner::service()
{
    std::erase_if(children_, [](const Child& child) { return reaped(*child.process); });
    const Clock::time_point now = Clock::now();
    stopOverdue(now);
    while (children_.size() < maxRunning_ && !queue_.empty()) {
        start(queue_.front());
        queue_.pop_front();
    }
    if (const auto due = skippedReportDue(); due && *due <= now)
        reportSkipped(now);
}

void HookRunner::stopOverdue(Clock::time_point now)
{
    for (Child& child : children_) {
        if (!child.askedToStop && now >= child.started + timeout_) {
            std::fprintf(err_, "tevra-watch: %s has run for %lld s: stopping it\n", program_.c_str(),
                static_cast<long long>(timeout_.count()));
            stop(*child.process, false);
            child.askedToStop = now;
        } else if (child.askedToStop && !child.killed && now >= *child.askedToStop + kKillAfter) {
            std::fprintf(err_, "tevra-watch: %s did not stop within %lld s: killed\n", program_.c_str(),
                static_cast<long long>(kKillAfter.count()));
            stop(*child.process, true);
            child.killed = true;
        }
    }
}

// Skipped runs are said once the queue has drained, or while they go on,
// once every kSkipReportEvery; never more often.
std::optional<HookRunner::Clock::time_point> HookRunner::skippedReportDue() const
{
    if (skipped_ == 0)
        return std::nullopt;
    Clock::time_point due = queue_.empty() ? firstSkipped_ : firstSkipped_ + kSkipReportEvery;
    if (lastSkipReport_)
        due = std::max(due, *lastSkipReport_ + kSkipReportEvery);
    return due;
}

std::optional<HookRunner::Clock::time_point> HookRunner::nextDeadline() const
{
    std::optional<Clock::time_point> next = skippedReportDue();
    const auto sooner = [&](Clock::time_point when) { next = next ? std::min(*next, when) : when; };
    for (const Child& child : children_)
        if (!child.killed)
            sooner(child.askedToStop ? *child.askedToStop + kKillAfter : child.started + timeout_);
    return next;
}

std::vector<WaitHandle> HookRunner::waitHandles() const
{
    std::vector<WaitHandle> handles;
    for (const Child& child : children_)
        if (const WaitHandle handle = waitHandleOf(*child.process); handle != WaitHandle::None)
            handles.push_back(handle);
    return handles;
}

void HookRunner::reportSkipped(Clock::time_point now)
{
    if (skipped_ == 0)
        return;
    std::fprintf(err_, "tevra-watch: %zu alerts did not run %s: %zu were running and %zu waiting already\n",
        skipped_, program_.c_str(), maxRunning_, queueLimit_);
    skipped_ = 0;
    lastSkipReport_ = now;
}

void HookRunner::abandonWaiting()
{
    if (!queue_.empty())
        std::fprintf(
            err_, "tevra-watch: stopping: %zu alerts did not run %s\n", queue_.size(), program_.c_str());
    queue_.clear();
    reportSkipped(Clock::now());
}

HookSink::HookSink(HookRunner& runner)
    : runner_(runner)
{
}

void HookSink::deliver(const Alert& alert)
{
    std::vector<std::string> arguments {
        alertKindName(alert.kind),
        addressText(alert.address),
        alert.mac ? macText(alert.mac->data()) : std::string(),
        alert.previousMac ? macText(alert.previousMac->data()) : std::string(),
    };
    std::vector<std::string> environment { "TEVRA_ALERT=" + alert.line };
    const std::optional<hostnet::IpAddress> second
        = alert.secondAddress ? alert.secondAddress : alert.gateway;
    if (second)
        arguments.push_back(addressText(*second));
    const std::pair<const char*, const std::optional<hostnet::IpAddress>&> addresses[] = {
        { "TEVRA_SECOND_ADDRESS=", alert.secondAddress },
        { "TEVRA_GATEWAY=", alert.gateway },
        { "TEVRA_PREVIOUS_GATEWAY=", alert.previousGateway },
    };
    for (const auto& [name, address] : addresses)
        if (address)
            environment.push_back(name + addressText(*address));
    if (alert.interface)
        environment.push_back("TEVRA_INTERFACE=" + *alert.interface);
    runner_.submit(std::move(arguments), std::move(environment));
}

}  // namespace tevra::cli
