#include "cli/StopSignals.h"

#include <windows.h>

#include <atomic>

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

StopSignals::Wake StopSignals::waitUntil(std::chrono::steady_clock::time_point deadline, int)
{
    // No change feed on Windows: the host layer has none to wait on.
    while (WaitForSingleObject(saved_->event, 0) != WAIT_OBJECT_0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return Wake::Deadline;
        // Rounded up, so the loop never wakes just before its deadline and spins.
        const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left);
        WaitForSingleObject(saved_->event, static_cast<DWORD>(milliseconds.count()));
    }
    return Wake::Stop;
}

}  // namespace tevra::cli
