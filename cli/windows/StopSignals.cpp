// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StopSignals.h"

#include "cli/windows/WaitHandles.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace tevra::cli {
namespace {

// Set from the thread the system runs console control handlers on; the loop
// waits for it while it sleeps.
std::atomic<HANDLE> stopEvent = nullptr;

BOOL WINAPI onConsoleControl(DWORD type)
{
    // Ctrl+C and Ctrl+Break end the watch as SIGINT does on Linux; closing
    // the console or logging off is left to the system.
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    SetEvent(stopEvent.load());
    return TRUE;
}

}  // namespace

// A C runtime descriptor is waited on through the system handle behind it.
WaitHandle descriptorWaitHandle(int descriptor)
{
    return descriptor < 0 ? WaitHandle::None : WaitHandle { _get_osfhandle(descriptor) };
}

struct StopSignals::Saved {
    HANDLE event = nullptr;
};

StopSignals::StopSignals()
    : saved_(std::make_unique<Saved>())
{
    // Manual reset: once asked for, a stop stays asked for.
    saved_->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stopEvent = saved_->event;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    stopEvent = nullptr;
    if (saved_->event != nullptr)
        CloseHandle(saved_->event);
}

// The waitables are handles, signalled when ready; the stop event is first,
// so that a stop wins when both are.
StopSignals::Wake StopSignals::waitUntil(
    std::chrono::steady_clock::time_point deadline, std::span<Waitable> waitables)
{
    std::vector<HANDLE> handles { saved_->event };
    for (const Waitable& waitable : waitables)
        handles.push_back(nativeHandle(waitable.handle));
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        // Rounded up, so the loop never wakes just before its deadline and spins.
        const auto milliseconds = std::max(std::chrono::ceil<std::chrono::milliseconds>(left).count(), 0LL);
        const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
            static_cast<DWORD>(std::min<long long>(milliseconds, INFINITE - 1)));
        if (result == WAIT_OBJECT_0)
            return Wake::Stop;
        if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
            for (std::size_t index = 0; index < waitables.size(); ++index)
                waitables[index].readable = WaitForSingleObject(handles[index + 1], 0) == WAIT_OBJECT_0;
            return Wake::Readable;
        }
        // A handle that cannot be waited on must not make the loop spin: the
        // rest of this wait is for the deadline and the stop alone.
        if (result == WAIT_FAILED)
            handles.resize(1);
        else if (left <= std::chrono::steady_clock::duration::zero())
            return Wake::Deadline;
    }
}

}  // namespace tevra::cli
