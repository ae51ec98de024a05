#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tevra::win32 {

// At most one balloon a second: an alert after a quiet second is shown at
// once; alerts within the second after a balloon wait, and when it is over
// only the latest is shown with how many others came since the balloon
// before. The output list still gets every line. The second is a window
// timer, so the pacing runs on the window's thread between its messages.
class BalloonPacer {
public:
    using Show = std::function<void(const std::wstring& text)>;
    static constexpr UINT_PTR kTimerId = 2;
    static constexpr UINT kIntervalMs = 1000;

    explicit BalloonPacer(Show show);
    void attach(HWND window) { window_ = window; }

    void offer(const std::wstring& line);
    // The window left the tray: the waiting line is not shown.
    void drop();
    // WM_TIMER with kTimerId.
    void secondOver();

    // `line`, cut to fit a balloon's 255 characters, and "(+N more)" on a line
    // of its own when `more` is not 0.
    static std::wstring balloonText(const std::wstring& line, int more);

private:
    void startSecond();

    Show show_;
    HWND window_ = nullptr;
    bool quiet_ = false;
    std::wstring latest_;
    int waiting_ = 0;
};

}  // namespace tevra::win32
