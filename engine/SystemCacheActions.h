// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ActionFailure.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tevra {

// The actions on the system's ARP table and the record of what they could
// not do. Each returns 0 when it did all it was asked, else -1, and keeps
// what failed and why until takeFailures. The program cache is the
// watcher's; these touch only the host.
class SystemCacheActions {
public:
    // `host` outlives this object.
    explicit SystemCacheActions(hostnet::IpHelper& host)
        : host_(host)
    {
    }

    // The dynamic entries of every adapter, asked for afresh so that adapters
    // that appeared after start are flushed too; `kept` as
    // IpHelper::flushIpNetTables gives it.
    std::int32_t flushAdapters(std::vector<hostnet::IpAddress>& kept);
    // One entry; a failure is kept unless it is the entry's absence and
    // `absenceIsFine`. `stillInTable` when the delete failed for another reason.
    std::int32_t deleteEntry(
        const std::string& subject, const hostnet::MibIpNetRow& row, bool absenceIsFine, bool& stillInTable);
    // A broadcast ping of each target, then the sweep of `sweep`, if any.
    std::int32_t discover(
        const std::vector<std::uint32_t>& pingTargets, const std::vector<std::uint32_t>& sweep);

    // Keeps a failure; always -1.
    std::int32_t fail(std::string subject, std::string reason, hostnet::Failure kind);
    // The failures since the last call, in the order they came.
    std::vector<ActionFailure> takeFailures();

private:
    std::int32_t failedOnHost(std::string subject, const hostnet::ActionResult& result);

    hostnet::IpHelper& host_;
    std::vector<ActionFailure> failures_;
};

}  // namespace tevra
