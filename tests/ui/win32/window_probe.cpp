// Runs the real Tevra.exe as a user starts it and watches it from outside:
// its window appears (found by its title) no sooner than the splash's two
// pauses allow, it stays alive through five ticks, a picture of it is saved
// as a 24-bit BMP, and WM_CLOSE ends it with status 0. Usage:
//   window_probe.exe <Tevra.exe> <picture.bmp>
// Prints what it saw; the exit status is 0 only if all of it held.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// The window as it is on the screen, bottom-up BGR rows as a BMP holds them.
bool savePicture(HWND window, const std::wstring& path)
{
    RECT frame {};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info { sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0 };
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(std::size_t(stride) * std::size_t(height));
    const bool read = GetDIBits(memory, bitmap, 0, UINT(height), pixels.data(),
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)
        == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read)
        return false;
    BITMAPFILEHEADER file { 0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
        DWORD(sizeof(BITMAPFILEHEADER) + sizeof info) };
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), std::streamsize(pixels.size()));
    return bool(out);
}

int fail(const char* what)
{
    std::printf("FAILED: %s\n", what);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return fail("usage: window_probe.exe <Tevra.exe> <picture.bmp>");
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    const auto started = Clock::now();
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return fail("Tevra.exe did not start");
    CloseHandle(process.hThread);
    auto alive = [&process] { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; };

    HWND window = nullptr;
    while (!window && alive() && Clock::now() - started < 30s) {
        std::this_thread::sleep_for(20ms);
        window = findWindow(L"Tevra", process.dwProcessId);
    }
    if (!window)
        return fail("no window titled Tevra");
    const auto appeared = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    std::printf("window appeared after %lld ms\n", static_cast<long long>(appeared.count()));
    if (appeared < kSplashPauses)
        return fail("the window showed before the splash's pauses were over");

    // Wide enough for all nine columns, where the picture is taken.
    SetWindowPos(window, nullptr, 20, 20, 1060, 380, SWP_NOZORDER);
    const auto watched = Clock::now();
    while (Clock::now() - watched < kFiveTicks + 500ms) {
        if (!alive() || !IsWindow(window))
            return fail("Tevra.exe ended during its first five ticks");
        std::this_thread::sleep_for(100ms);
    }
    std::printf("alive through five ticks\n");
    if (!savePicture(window, argv[2]))
        return fail("could not save the picture");

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        return fail("Tevra.exe still runs 10 s after WM_CLOSE");
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    std::printf("ended with status %lu\n", status);
    return status == 0 ? 0 : fail("Tevra.exe ended with a status other than 0");
}
