// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Address.h"
#include "engine/MappingWatcher.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/support/CollectedAlerts.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tevra::test {

inline hostnet::MibIpNetRow row(const char* dotted, const char* mac, std::uint32_t index = 2,
    std::uint32_t type = hostnet::kNetTypeDynamic)
{
    return arpRow(dotted, mac, index, type);
}

// An engine on the scripted host, with a fixed clock and a sink that keeps every event.
class EngineTest : public ::testing::Test {
protected:
    EngineTest()
        : EngineTest(std::make_unique<hostnet::FakeIpHelper>())
    {
    }
    explicit EngineTest(std::unique_ptr<hostnet::FakeIpHelper> fake)
        : host(*fake)
        , watcher(std::move(fake), [this] {
            return std::chrono::system_clock::time_point { std::chrono::seconds(now) } + subsecond;
        })
    {
        collectEvents(watcher, events);
    }

    void refreshWith(std::vector<hostnet::MibIpNetRow> table)
    {
        host.netTable = std::move(table);
        ASSERT_EQ(watcher.refresh(), 0);
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& event : events)
            out.push_back(event->text);
        return out;
    }

    MappingEntry& entry(const char* text) { return *watcher.programCache.at(watcher.keyOf(text).value()); }

    std::int64_t now = kNow;
    std::chrono::milliseconds subsecond {};
    hostnet::FakeIpHelper& host;
    CMappingWatcher watcher;
    std::vector<std::unique_ptr<WatchEvent>> events;
};

}  // namespace tevra::test
