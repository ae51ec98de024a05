#include "ui/core/ElevatingIpHelper.h"

#include "engine/Address.h"

#include <utility>

namespace tevra {

ElevatingIpHelper::ElevatingIpHelper(
    std::unique_ptr<hostnet::IpHelper> host, std::unique_ptr<ElevatedLauncher> launcher)
    : host_(std::move(host))
    , launcher_(std::move(launcher))
{
}

std::optional<std::vector<hostnet::MibIpNetRow>> ElevatingIpHelper::getIpNetTable()
{
    return host(host_->getIpNetTable());
}

std::optional<std::vector<hostnet::MibIpAddrRow>> ElevatingIpHelper::getIpAddrTable()
{
    return host(host_->getIpAddrTable());
}

std::optional<std::vector<hostnet::IpAdapterInfo>> ElevatingIpHelper::getAdaptersInfo()
{
    return host(host_->getAdaptersInfo());
}

std::int32_t ElevatingIpHelper::deleteIpNetEntry(const hostnet::MibIpNetRow& row)
{
    const std::string address = dottedText(row.dwAddr);
    return deferIfRefused(host(host_->deleteIpNetEntry(row)),
        { { address, { "delete", address, std::to_string(row.dwIndex) } } });
}

std::int32_t ElevatingIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    return deferIfRefused(host(host_->flushIpNetTable(interfaceIndex)),
        { { {}, { "flush", std::to_string(interfaceIndex) } } });
}

std::int32_t ElevatingIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept)
{
    std::vector<Step> steps;
    for (const std::uint32_t index : interfaceIndexes)
        steps.push_back({ {}, { "flush", std::to_string(index) } });
    const std::int32_t result = deferIfRefused(host(host_->flushIpNetTables(interfaceIndexes, kept)), steps);
    // Until the helper has flushed, nothing is known to have left the table.
    if (awaiting_)
        kept.clear();
    return result;
}

std::int32_t ElevatingIpHelper::startPing(const std::string& dottedAddress)
{
    return host(host_->startPing(dottedAddress));
}

std::int32_t ElevatingIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    return host(host_->startSweep(addresses));
}

int ElevatingIpHelper::openChangeFeed()
{
    return host_->openChangeFeed();
}

std::vector<hostnet::NetTableChange> ElevatingIpHelper::takeChanges()
{
    return host_->takeChanges();
}

hostnet::FeedCounts ElevatingIpHelper::feedCounts() const
{
    return host_->feedCounts();
}

std::string ElevatingIpHelper::lastError() const
{
    return awaiting_ ? std::string(kAwaitingConsent) : host_->lastError();
}

hostnet::Failure ElevatingIpHelper::lastFailure() const
{
    return awaiting_ ? hostnet::Failure::NotPermitted : host_->lastFailure();
}

std::int32_t ElevatingIpHelper::deferIfRefused(std::int32_t hostResult, std::vector<Step> steps)
{
    if (hostResult == 0 || host_->lastFailure() != hostnet::Failure::NotPermitted)
        return hostResult;
    awaiting_ = true;
    for (Step& step : steps)
        deferred_.push_back(std::move(step));
    return -1;
}

void ElevatingIpHelper::runDeferred(std::function<void(ElevatedOutcome)> onDone)
{
    Batch batch;
    batch.steps.assign(std::make_move_iterator(deferred_.begin()), std::make_move_iterator(deferred_.end()));
    deferred_.clear();
    batch.onDone = std::move(onDone);
    batches_.push_back(std::move(batch));
    next();
}

void ElevatingIpHelper::next()
{
    while (!running_ && !batches_.empty()) {
        Batch& batch = batches_.front();
        if (batch.steps.empty()) {
            Batch finished = std::move(batch);
            batches_.pop_front();
            // May run another command, whose batch then starts from here.
            finished.onDone(std::move(finished.outcome));
            continue;
        }
        running_ = std::move(batch.steps.front());
        batch.steps.pop_front();
        launcher_->start(running_->arguments, [this](ElevatedResult result) { stepDone(std::move(result)); });
    }
}

void ElevatingIpHelper::stepDone(ElevatedResult result)
{
    Batch& batch = batches_.front();
    const Step step = std::move(*running_);
    running_.reset();
    if (!result) {
        batch.outcome.doneSubjects.push_back(step.subject);
    } else {
        const hostnet::Failure kind
            = result->rightsRefused ? hostnet::Failure::NotPermitted : hostnet::Failure::Other;
        batch.outcome.failures.push_back({ step.subject, result->reason, kind });
        // One prompt per command: a person who said no is not asked again for each row.
        if (result->rightsRefused) {
            for (const Step& left : batch.steps)
                batch.outcome.failures.push_back({ left.subject, result->reason, kind });
            batch.steps.clear();
        }
    }
    next();
}

}  // namespace tevra
