// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/WaitHandle.h"

#include <chrono>
#include <memory>
#include <span>

namespace tevra::cli {

// The user's request to stop ends the watch loop: SIGINT, SIGTERM and SIGHUP on Linux,
// Ctrl+C and Ctrl+Break on Windows. A request is acted on only while the loop
// sleeps, so a refresh under way always runs to its end first. One object at a
// time, for the life of the loop; CMake picks the platform's implementation.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    enum class Wake { Stop, Deadline, Readable };

    // A handle to wait on, and whether it was found ready (readable, or on
    // Windows signalled).
    struct Waitable {
        WaitHandle handle = WaitHandle::None;
        bool readable = false;
    };

    // Sleeps until `deadline` or until one of `waitables` is ready (each
    // says whether it is); a stop asked for wins over both.
    Wake waitUntil(std::chrono::steady_clock::time_point deadline, std::span<Waitable> waitables);
    // The same for one handle, if not None.
    Wake waitUntil(std::chrono::steady_clock::time_point deadline, WaitHandle handle = WaitHandle::None)
    {
        Waitable one { handle, false };
        return waitUntil(deadline, handle == WaitHandle::None ? std::span<Waitable>() : std::span(&one, 1));
    }
    // Sleeps until `deadline`; false as soon as a stop was asked for.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline)
    {
        return waitUntil(deadline) != Wake::Stop;
    }

private:
    // What the platform had before, given back at the end.
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace tevra::cli
