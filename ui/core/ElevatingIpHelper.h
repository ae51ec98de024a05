// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ActionFailure.h"
#include "hostnet/ForwardingIpHelper.h"
#include "ui/core/ElevatedLauncher.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

// The reason a delete or flush gives while it waits for tevra-arp-helper: the
// command leaves it out of its report and says the helper's result instead.
inline constexpr std::string_view kAwaitingConsent = "waiting for the administrator's consent";

// What tevra-arp-helper made of one command's steps.
struct ElevatedOutcome {
    std::vector<std::string> doneSubjects;  // the addresses deleted ("" for a flush)
    std::vector<ActionFailure> failures;
};

// The host layer of a window that runs as an ordinary user: reads, probes
// and the change feed go to the platform's layer as they are; a delete or flush that
// the system refuses for want of rights fails for now with kAwaitingConsent
// and is kept, and runDeferred hands what was kept to tevra-arp-helper through
// the launcher, which asks for the administrator's consent. Nothing here
// waits: the window's ticks go on while the person answers the prompt.
class ElevatingIpHelper : public hostnet::ForwardingIpHelper {
public:
    ElevatingIpHelper(std::unique_ptr<hostnet::IpHelper> host, std::unique_ptr<ElevatedLauncher> launcher);

    hostnet::ActionResult deleteIpNetEntry(const hostnet::MibIpNetRow& row) override;
    hostnet::ActionResult flushIpNetTable(std::uint32_t interfaceIndex) override;
    hostnet::ActionResult flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<hostnet::IpAddress>& kept) override;

    // True when no step is under way or waiting to start.
    bool idle() const { return !running_ && batches_.empty(); }
    // True when steps were kept since the last runDeferred.
    bool hasDeferred() const { return !deferred_.empty(); }
    // Runs the steps kept since the last call, one after another, after those
    // of earlier calls; `onDone` gets their outcome on the window's thread.
    // Once the consent is refused, the batch's later steps fail alike
    // instead of asking again.
    void runDeferred(std::function<void(ElevatedOutcome)> onDone);

private:
    struct Step {
        std::string subject;
        std::vector<std::string> arguments;
    };
    struct Batch {
        std::deque<Step> steps;
        ElevatedOutcome outcome;
        std::function<void(ElevatedOutcome)> onDone;
    };

    // The host's result; a refusal for want of rights keeps `steps` for
    // later and fails with kAwaitingConsent.
    hostnet::ActionResult deferIfRefused(hostnet::ActionResult hostResult, std::vector<Step> steps);
    // Starts the next step unless one is running.
    void next();
    void stepDone(ElevatedResult result);

    std::unique_ptr<hostnet::IpHelper> host_;
    std::unique_ptr<ElevatedLauncher> launcher_;
    std::vector<Step> deferred_;
    std::deque<Batch> batches_;
    std::optional<Step> running_;
};

}  // namespace tevra
