// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel tests of tevra-watch's alerts share: a run bounded by two
// marker entries, whose alert lines say that the first reading is made and
// that everything before the end marker has been said.
#pragma once

#include "Command.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "WatchProgram.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace tevra::test {

// Broadcast entries whose alerts mark the first reading and the end of a case.
inline constexpr const char* kStartMarker = "10.66.0.99";
inline constexpr const char* kEndMarker = "10.66.0.98";

using Action = std::function<bool(const NamespacePair&)>;

// Longer than a route change must hold before it is said, and a reading after it.
inline Action routeSettles()
{
    return [](const NamespacePair&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        return true;
    };
}

// The alert line without its number and time; what is no alert line is said to be none.
inline std::string alertText(const std::string& line)
{
    static const std::regex alert("\\d+ - \\d\\d:\\d\\d:\\d\\d: (.*)");
    std::smatch parts;
    return std::regex_match(line, parts, alert) ? parts[1].str() : "not an alert line: " + line;
}

inline std::string markerText(const char* address)
{
    return std::string("Broadcast MAC assigned: ") + address + " has broadcast MAC FF-FF-FF-FF-FF-FF";
}

class MarkedWatch : public NamespacePairTest {
protected:
    bool addMarker(const char* address)
    {
        return namespaces.ipInHost(
            { "neigh", "add", address, "lladdr", "ff:ff:ff:ff:ff:ff", "dev", "veth0", "nud", "permanent" });
    }

    // The alert texts until the end marker's, which is left out.
    static std::vector<std::string> linesUntilEnd(RunningProgram& watch, const char* marker = kEndMarker)
    {
        std::vector<std::string> texts;
        while (const std::optional<std::string> line = watch.readLine(std::chrono::seconds(10))) {
            const std::string text = alertText(*line);
            if (text == markerText(marker))
                return texts;
            texts.push_back(text);
        }
        texts.push_back("(no end marker)");
        return texts;
    }

    // tevra-watch in the host namespace, with `options` after the period every case takes.
    std::vector<std::string> watchArguments(const std::vector<std::string>& options) const
    {
        std::vector<std::string> arguments { kWatch, "--interval", "300" };
        arguments.insert(arguments.end(), options.begin(), options.end());
        return namespaces.execInHost(arguments);
    }

    // One case: `before` done, tevra-watch started with `options` and its
    // first reading seen, `during` done while it runs; the alert texts it
    // said in between. A step that fails is a failure of the test, and ends
    // the case.
    std::vector<std::string> markedRun(const std::vector<Action>& before,
        const std::vector<std::string>& options, const std::vector<Action>& during)
    {
        const auto failed = [](const std::string& what) {
            ADD_FAILURE() << what;
            return std::vector<std::string> { "(" + what + ")" };
        };
        for (const Action& action : before)
            if (!action(namespaces))
                return failed("a step before the start failed");
        if (!addMarker(kStartMarker))
            return failed("no start marker");
        RunningProgram watch(watchArguments(options));
        if (!watch.started())
            return failed("tevra-watch did not start");
        const std::string first = alertText(watch.readLine(std::chrono::seconds(5)).value_or(""));
        if (first != markerText(kStartMarker))
            return failed("first line: " + first);
        for (const Action& action : during)
            if (!action(namespaces))
                return failed("a step while tevra-watch ran failed");
        if (!addMarker(kEndMarker))
            return failed("no end marker");
        const std::vector<std::string> texts = linesUntilEnd(watch);
        watch.signal(SIGTERM);
        EXPECT_EQ(watch.wait(), 0);
        return texts;
    }
};

}  // namespace tevra::test
