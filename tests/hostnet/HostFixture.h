// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RequireKernel.h"
#include "TestHost.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"
#include "engine/MappingWatcher.h"
#include "tests/support/CollectedAlerts.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tevra::test {

enum class HostKind { Fake, Kernel };

inline void PrintTo(HostKind kind, std::ostream* os)
{
    *os << (kind == HostKind::Fake ? "Fake" : "Kernel");
}

inline std::string hostKindName(const testing::TestParamInfo<HostKind>& info)
{
    return info.param == HostKind::Fake ? "Fake" : "Kernel";
}

// A test host of either kind, and an engine on it made when first asked for,
// with a fixed clock and a sink that keeps every alert line.
class HostFixture {
protected:
    // Skips the test (never passes it) when the kernel host cannot be had.
    void startHost(HostKind kind)
    {
        if (kind == HostKind::Kernel && !kernelHostUnavailable().empty()) {
            if (kernelTestsRequired())
                FAIL() << kernelHostUnavailable() << " (TEVRA_REQUIRE_KERNEL_TESTS=1)";
            GTEST_SKIP() << kernelHostUnavailable();
        }
        host = kind == HostKind::Fake ? makeFakeHost() : makeKernelHost();
        ASSERT_EQ(host->setupError(), "");
    }

    void addAll(const std::vector<Neighbour>& neighbours)
    {
        for (const Neighbour& neighbour : neighbours)
            ASSERT_TRUE(host->add(neighbour)) << neighbour.address;
    }

    CMappingWatcher& watcher()
    {
        if (!watcher_) {
            watcher_ = std::make_unique<CMappingWatcher>(host->makeIpHelper(), fixedClock(kNow));
            collectAlertLines(*watcher_, alerts);
        }
        return *watcher_;
    }

    std::unique_ptr<TestHost> host;
    std::vector<std::string> alerts;

private:
    std::unique_ptr<CMappingWatcher> watcher_;  // goes before the host it reads
};

// A host of each kind, made afresh for every test.
class HostTest : public HostFixture, public testing::TestWithParam<HostKind> {
protected:
    void SetUp() override { startHost(GetParam()); }
};

// What the engine's actions could not do, for a failure message.
inline std::string actionFailureTexts(CMappingWatcher& watcher)
{
    std::string texts;
    for (const ActionFailure& failure : watcher.takeActionFailures())
        texts += failure.subject + ": " + failure.reason + "\n";
    return texts;
}

// Rows as one line of text each, so that a whole table compares at a glance.
inline std::string describe(const hostnet::MibIpNetRow& row)
{
    const std::string mac = row.dwPhysAddrLen == 0 ? "-" : macText(row.bPhysAddr.data());
    return addressText(row.address) + " " + mac + "/" + std::to_string(row.dwPhysAddrLen) + " type "
        + std::to_string(row.dwType) + " if " + std::to_string(row.dwIndex);
}

inline std::string describe(const hostnet::MibIpAddrRow& row)
{
    return dottedText(row.dwAddr) + "/" + dottedText(row.dwMask) + " if " + std::to_string(row.dwIndex);
}

template<typename Row> std::vector<std::string> describeAll(const std::optional<std::vector<Row>>& rows)
{
    std::vector<std::string> out;
    for (const Row& row : rows.value_or(std::vector<Row> {}))
        out.push_back(describe(row));
    return out;
}

}  // namespace tevra::test
