#include "ui/win32/BalloonPacer.h"

#include <utility>

namespace tevra::win32 {
namespace {

constexpr std::size_t kBalloonTextLimit = 255;

// Cut to `limit` UTF-16 units without splitting a surrogate pair.
std::wstring fitTo(const std::wstring& text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    if (end > 0 && IS_HIGH_SURROGATE(text[end - 1]))
        --end;
    return text.substr(0, end);
}

}  // namespace

BalloonPacer::BalloonPacer(Show show)
    : show_(std::move(show))
{
}

void BalloonPacer::offer(const std::wstring& line)
{
    if (quiet_) {
        latest_ = line;
        ++waiting_;
        return;
    }
    startSecond();
    show_(balloonText(line, 0));
}

void BalloonPacer::drop()
{
    latest_.clear();
    waiting_ = 0;
}

void BalloonPacer::secondOver()
{
    KillTimer(window_, kTimerId);
    quiet_ = false;
    if (waiting_ == 0)
        return;
    const std::wstring text = balloonText(latest_, waiting_ - 1);
    drop();
    startSecond();
    show_(text);
}

void BalloonPacer::startSecond()
{
    quiet_ = true;
    SetTimer(window_, kTimerId, kIntervalMs, nullptr);
}

std::wstring BalloonPacer::balloonText(const std::wstring& line, int more)
{
    if (more == 0)
        return fitTo(line, kBalloonTextLimit);
    const std::wstring count = L"\n(+" + std::to_wstring(more) + L" more)";
    return fitTo(line, kBalloonTextLimit - count.size()) + count;
}

}  // namespace tevra::win32
