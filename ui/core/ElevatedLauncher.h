// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tevra {

// Why tevra-arp-helper did not do a step.
struct ElevatedFailure {
    std::string reason;  // for a person to read
    bool rightsRefused = false;  // the administrator's consent was not given

    friend bool operator==(const ElevatedFailure&, const ElevatedFailure&) = default;
};

// Empty when the step was done.
using ElevatedResult = std::optional<ElevatedFailure>;

// Runs one step of tevra-arp-helper with the administrator's rights (pkexec on
// Linux, ShellExecuteExW "runas" on Windows) without waiting for it: the
// person may take minutes to answer the prompt, and the window goes on.
class ElevatedLauncher {
public:
    virtual ~ElevatedLauncher() = default;

    // Starts the helper with `arguments` (e.g. "delete", "10.0.0.5", "3") and
    // returns at once. `onDone` is called once, later, on the window's thread
    // from its event loop, never from within start; not at all when the
    // launcher is destroyed first.
    virtual void start(std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone) = 0;
};

}  // namespace tevra
