// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "engine/Address.h"
#include "engine/WatchEvent.h"

#include <gtest/gtest.h>

#include <limits>

namespace tevra {
namespace {

using test::ip;
using test::kNow;

const std::uint8_t kMac1[6] = { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 };
const std::uint8_t kMac2[6] = { 0x00, 0x0C, 0x29, 0x44, 0x55, 0x66 };
const std::uint8_t kBroadcast[6] = { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };

struct ComposeCase {
    const char* name;
    std::int32_t kind;
    const char* first;
    const char* second;
    const std::uint8_t* firstMac;
    const std::uint8_t* secondMac;
    std::int64_t now;
    const char* line;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ComposeCase& c, std::ostream* os)
{
    *os << c.name;
}

const ComposeCase kComposeCases[] = {
    { "mapping_changed", MappingChanged, "192.168.0.1", "0.0.0.0", kMac1, kMac2, 1796894100,
        "09:15:00: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66" },
    { "duplicate_mac", DuplicateMac, "10.0.0.1", "10.0.0.2", kMac1, nullptr, kNow,
        "14:03:09: Dublicate MAC found: 10.0.0.1 and 10.0.0.2 both have 00-0C-29-11-22-33" },
    { "broadcast_mac", BroadcastMac, "10.0.0.7", "0.0.0.0", kBroadcast, nullptr, kNow,
        "14:03:09: Broadcast MAC assigned: 10.0.0.7 has broadcast MAC FF-FF-FF-FF-FF-FF" },
    { "multicast_mac", MulticastMac, "10.0.0.7", "0.0.0.0", kMac1, nullptr, kNow,
        "14:03:09: Multicast MAC assigned: 10.0.0.7 has multicast MAC 00-0C-29-11-22-33" },
    { "default_route_two_blanks", DefaultRouteChanged, "10.0.0.1", "10.0.0.2", kMac1, nullptr, kNow,
        "14:03:09: Default route changed:  the route for 00-0C-29-11-22-33 changed from 10.0.0.1 to "
        "10.0.0.2" },
    { "not_in_subnet_two_blanks", NotInSubnet, "10.9.9.9", "0.0.0.0", nullptr, nullptr, kNow,
        "14:03:09: IP not in subet:  the IP 10.9.9.9 is not in this subet" },
    { "missing_mac_is_empty", MappingChanged, "10.0.0.1", "0.0.0.0", nullptr, nullptr, kNow,
        "14:03:09: Mapping changed: 10.0.0.1 changed from  to " },
    { "unknown_kind_prefix_only", 6, "10.0.0.1", "0.0.0.0", kMac1, kMac2, kNow, "14:03:09: " },
    { "negative_kind_prefix_only", -1, "10.0.0.1", "0.0.0.0", kMac1, kMac2, kNow, "14:03:09: " },
    { "time_not_convertible", BroadcastMac, "10.0.0.7", "0.0.0.0", kBroadcast, nullptr,
        std::numeric_limits<std::int64_t>::max(),
        ": Broadcast MAC assigned: 10.0.0.7 has broadcast MAC FF-FF-FF-FF-FF-FF" },
};

class Compose : public ::testing::TestWithParam<ComposeCase> { };

TEST_P(Compose, BuildsTheExactLine)
{
    const ComposeCase& c = GetParam();
    WatchEvent event;
    EXPECT_EQ(event.compose(ip(c.first), ip(c.second), c.firstMac, c.secondMac, c.kind, c.now), 0);
    EXPECT_EQ(event.text, c.line);
    EXPECT_EQ(event.kind, c.kind);
    // The record keeps what the line shows, for front ends that print records.
    EXPECT_EQ(event.subject.firstAddress, ip(c.first));
    EXPECT_EQ(event.subject.secondAddress, ip(c.second));
    const auto expectMac = [](const std::optional<MacBytes>& kept, const std::uint8_t* given) {
        ASSERT_EQ(kept.has_value(), given != nullptr);
        if (given != nullptr) {
            EXPECT_EQ(macText(kept->data()), macText(given));
        }
    };
    expectMac(event.subject.firstMac, c.firstMac);
    expectMac(event.subject.secondMac, c.secondMac);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Compose, ::testing::ValuesIn(kComposeCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WatchEventSerial, RisesByOneForEachEventOfTheProcess)
{
    const WatchEvent first;
    const WatchEvent second;
    const WatchEvent third;
    EXPECT_GE(first.serial, 1u);
    EXPECT_EQ(second.serial, first.serial + 1);
    EXPECT_EQ(third.serial, first.serial + 2);
}

// The one line every face and output shows for an event.
TEST(WatchEventSerial, TheAlertLineIsTheSerialAndTheText)
{
    WatchEvent event;
    event.serial = 7;
    event.compose(ip("10.0.0.7"), {}, kBroadcast, nullptr, BroadcastMac, kNow);
    EXPECT_EQ(alertLine(event), "7 - " + event.text);
    EXPECT_TRUE(alertLine(event).starts_with("7 - 14:03:09: Broadcast MAC assigned: 10.0.0.7"));
}

// Whatever the line, saying that a router was lost keeps it within its bound.
TEST(WatchEventRouterFlags, TheLineStaysWithinItsLength)
{
    WatchEvent event;
    event.compose(ip("fe80::1"), {}, kMac1, kMac2, MappingChanged, kNow);
    event.text.resize(2040, 'x');
    event.setRouterFlags(false, true);
    EXPECT_EQ(event.text.size(), 2047u);
    EXPECT_EQ(event.text.substr(2040), " (no lo");
    EXPECT_EQ(event.subject.router, false);
    EXPECT_EQ(event.subject.wasRouter, true);
}

TEST(WatchEventSerial, ComposeAgainReplacesTheText)
{
    WatchEvent event;
    event.compose(ip("10.0.0.7"), {}, kBroadcast, nullptr, BroadcastMac, kNow);
    event.compose(ip("10.0.0.7"), {}, kBroadcast, nullptr, 99, kNow);
    EXPECT_EQ(event.text, "14:03:09: ");
}

}  // namespace
}  // namespace tevra
