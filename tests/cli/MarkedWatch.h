// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel tests of tevra-watch's alerts share: a run bounded by two
// marker entries, whose alert lines say that the first reading is made and
// that everything before the end marker has been said.
#pragma once

#include "Command.h"
#include "KernelTest.h"
#include "NamespacePair.h"

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
};

}  // namespace tevra::test
