#include "cli/HookRunner.h"

#include "engine/Address.h"

namespace tevra::cli {

HookRunner::~HookRunner()
{
    for (const Child& child : children_)
        release(child);
}

void HookRunner::submit(std::vector<std::string> arguments, std::vector<std::string> environment)
{
    Run run { std::move(arguments), std::move(environment) };
    if (children_.size() < maxRunning_ && queue_.empty()) {
        start(run);
    } else if (queue_.size() < queueLimit_) {
        queue_.push_back(std::move(run));
    } else {
        ++skipped_;
    }
}

void HookRunner::service()
{
    std::erase_if(children_, [this](const Child& child) {
        if (!reaped(child))
            return false;
        release(child);
        return true;
    });
    while (children_.size() < maxRunning_ && !queue_.empty()) {
        start(queue_.front());
        queue_.pop_front();
    }
    if (queue_.empty())
        reportSkipped();
}

std::vector<int> HookRunner::waitHandles() const
{
    std::vector<int> handles;
    for (const Child& child : children_)
        if (child.handle >= 0)
            handles.push_back(child.handle);
    return handles;
}

void HookRunner::reportSkipped()
{
    if (skipped_ == 0)
        return;
    std::fprintf(err_, "tevra-watch: %zu alerts did not run %s: %zu were running and %zu waiting already\n",
        skipped_, program_.c_str(), maxRunning_, queueLimit_);
    skipped_ = 0;
}

void HookRunner::abandonWaiting()
{
    if (!queue_.empty())
        std::fprintf(
            err_, "tevra-watch: stopping: %zu alerts did not run %s\n", queue_.size(), program_.c_str());
    queue_.clear();
    reportSkipped();
}

HookSink::HookSink(HookRunner& runner)
    : runner_(runner)
{
}

void HookSink::deliver(const Alert& alert)
{
    runner_.submit(
        {
            alertKindName(alert.kind),
            dottedText(alert.address),
            alert.mac ? macText(alert.mac->data()) : std::string(),
            alert.previousMac ? macText(alert.previousMac->data()) : std::string(),
        },
        { "TEVRA_ALERT=" + alert.line });
}

}  // namespace tevra::cli
