// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real Tevra.exe as a user starts it and watches it from outside:
// its window appears (found by its title) no sooner than the splash's two
// pauses allow, it stays alive through five ticks, the Linux harness takes a
// picture of it from the X display, and WM_CLOSE ends it with status 0.
// Usage: window_probe.exe <Tevra.exe>
// Prints what it saw; the exit status is 0 only if all of it held.
#include "HarnessClient.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kSplashPauses = 1400ms;
constexpr auto kFiveTicks = 5 * 1500ms;

HWND findWindow(const wchar_t* title, DWORD processId)
{
    for (HWND window = FindWindowW(L"#32770", title); window;
         window = FindWindowExW(nullptr, window, L"#32770", title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

int fail(const char* what)
{
    std::printf("FAILED: %s\n", what);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return fail("usage: window_probe.exe <Tevra.exe>");
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    const auto started = Clock::now();
    if (!CreateProcessW(
            argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return fail("Tevra.exe did not start");
    CloseHandle(process.hThread);
    auto alive = [&process] { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; };

    HWND window = nullptr;
    while (!window && alive() && Clock::now() - started < 30s) {
        std::this_thread::sleep_for(20ms);
        window = findWindow(L"Tevra", process.dwProcessId);
    }
    if (!window) {
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        std::printf("Tevra.exe's status: %lu\n", status);
        return fail("no window titled Tevra");
    }
    const auto appeared = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    std::printf("window appeared after %lld ms\n", static_cast<long long>(appeared.count()));
    if (appeared < kSplashPauses)
        return fail("the window showed before the splash's pauses were over");

    // Wide enough for all nine columns, where the picture is taken.
    SetWindowPos(
        window, nullptr, 10, 10, std::min(1060, GetSystemMetrics(SM_CXSCREEN) - 20), 380, SWP_NOZORDER);
    const auto watched = Clock::now();
    while (Clock::now() - watched < kFiveTicks + 500ms) {
        if (!alive() || !IsWindow(window))
            return fail("Tevra.exe ended during its first five ticks");
        std::this_thread::sleep_for(100ms);
    }
    std::printf("alive through five ticks\n");
    RECT frame {};
    GetWindowRect(window, &frame);
    const std::string picture = tevra::test::askHarness("picture " + std::to_string(frame.left) + " "
        + std::to_string(frame.top) + " " + std::to_string(frame.right - frame.left) + " "
        + std::to_string(frame.bottom - frame.top));

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        return fail("Tevra.exe still runs 10 s after WM_CLOSE");
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    std::printf("ended with status %lu\n", status);
    if (status != 0)
        return fail("Tevra.exe ended with a status other than 0");
    return picture == "ok" ? 0 : fail("no picture taken");
}
