// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WatchEvent.h"

#include "engine/Address.h"
#include "engine/LocalTime.h"
#include "engine/MacAddress.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace tevra {
namespace {

std::uint32_t serialCounter = 0;

// Which of the texts A1, A2, M1, M2 fill a kind's format after the line so far.
enum Piece { A1, A2, M1, M2 };

struct KindText {
    const char* title;
    const char* format;
    std::initializer_list<Piece> pieces;
};

const std::array<KindText, 6> kKindTexts { {
    { "Mapping changed: ", "%s%s changed from %s to %s", { A1, M1, M2 } },
    { "Dublicate MAC found: ", "%s%s and %s both have %s", { A1, A2, M1 } },
    { "Broadcast MAC assigned: ", "%s%s has broadcast MAC %s", { A1, M1 } },
    { "Multicast MAC assigned: ", "%s%s has multicast MAC %s", { A1, M1 } },
    { "Default route changed: ", "%s the route for %s changed from %s to %s", { M1, A1, A2 } },
    { "IP not in subet: ", "%s the IP %s is not in this subet", { A1 } },
} };

// Lines stay within the fixed line length of 2048 characters with its NUL.
constexpr std::size_t kMaxLine = 2047;

// Replaces each "%s" of `format` in turn with the next of `args`.
std::string fill(std::string_view format, const std::array<std::string, 4>& args, std::size_t count)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < count) {
            out += args[next++];
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::optional<MacBytes> sixBytes(const std::uint8_t* mac)
{
    if (mac == nullptr)
        return std::nullopt;
    MacBytes bytes {};
    std::copy_n(mac, 6, bytes.begin());
    return bytes;
}

}  // namespace

WatchEvent::WatchEvent()
    : serial(++serialCounter)
{
}

std::int32_t WatchEvent::compose(const hostnet::IpAddress& firstAddress,
    const hostnet::IpAddress& secondAddress, const std::uint8_t* firstMac, const std::uint8_t* secondMac,
    std::int32_t eventKind, std::int64_t now, std::uint32_t firstMacLength, std::uint32_t secondMacLength)
{
    kind = eventKind;
    subject = { firstAddress, secondAddress, sixBytes(firstMac), sixBytes(secondMac), std::nullopt,
        std::nullopt };
    const std::array<std::string, 4> texts { addressText(firstAddress), addressText(secondAddress),
        firstMac != nullptr ? macText(firstMac, firstMacLength) : std::string(),
        secondMac != nullptr ? macText(secondMac, secondMacLength) : std::string() };
    std::string line = timeOfDayText(now) + ": ";
    if (eventKind >= 0 && std::size_t(eventKind) < kKindTexts.size()) {
        const KindText& kindText = kKindTexts[std::size_t(eventKind)];
        std::array<std::string, 4> args { line + kindText.title };
        std::size_t count = 1;
        for (const Piece piece : kindText.pieces)
            args[count++] = texts[piece];
        line = fill(kindText.format, args, count);
    }
    if (line.size() > kMaxLine)
        line.resize(kMaxLine);
    text = std::move(line);
    return 0;
}

void WatchEvent::setRouterFlags(bool router, bool wasRouter)
{
    subject.router = router;
    subject.wasRouter = wasRouter;
    if (kind == MappingChanged && wasRouter && !router) {
        text += " (no longer a router)";
        if (text.size() > kMaxLine)
            text.resize(kMaxLine);
    }
}

std::string alertLine(const WatchEvent& event)
{
    return std::to_string(event.serial) + " - " + event.text;
}

}  // namespace tevra
