// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/ElevatingIpHelper.h"

#include "engine/Address.h"

#include <utility>

namespace tevra {
namespace {

bool refusedForRights(const hostnet::ActionResult& result)
{
    return !result.ok() && result.kind == hostnet::Failure::NotPermitted;
}

}  // namespace

ElevatingIpHelper::ElevatingIpHelper(
    std::unique_ptr<hostnet::IpHelper> host, std::unique_ptr<ElevatedLauncher> launcher)
    : ForwardingIpHelper(*host)
    , host_(std::move(host))
    , launcher_(std::move(launcher))
{
}

hostnet::ActionResult ElevatingIpHelper::deleteIpNetEntry(const hostnet::MibIpNetRow& row)
{
    // The subject names the entry among all (a link-local one by its
    // interface too); the helper is given the interface apart.
    return deferIfRefused(host_->deleteIpNetEntry(row),
        { { zonedAddressText(row.address),
            { "delete", addressText(row.address), std::to_string(row.dwIndex) } } });
}

hostnet::ActionResult ElevatingIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    return deferIfRefused(
        host_->flushIpNetTable(interfaceIndex), { { {}, { "flush", std::to_string(interfaceIndex) } } });
}

hostnet::ActionResult ElevatingIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<hostnet::IpAddress>& kept)
{
    std::vector<Step> steps;
    for (const std::uint32_t index : interfaceIndexes)
        steps.push_back({ {}, { "flush", std::to_string(index) } });
    hostnet::ActionResult result = host_->flushIpNetTables(interfaceIndexes, kept);
    // Until the helper has flushed, nothing is known to have left the table.
    if (refusedForRights(result))
        kept.clear();
    return deferIfRefused(std::move(result), std::move(steps));
}

hostnet::ActionResult ElevatingIpHelper::deferIfRefused(
    hostnet::ActionResult hostResult, std::vector<Step> steps)
{
    if (!refusedForRights(hostResult))
        return hostResult;
    for (Step& step : steps)
        deferred_.push_back(std::move(step));
    return hostnet::ActionResult::failed(std::string(kAwaitingConsent), hostnet::Failure::NotPermitted);
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
