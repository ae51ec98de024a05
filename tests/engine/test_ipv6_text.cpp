// SPDX-License-Identifier: GPL-3.0-or-later
// IPv6 texts are held to the C library's own reading and writing of them.
#include "engine/Address.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstring>

#include <set>
#include <string>

namespace tevra {
namespace {

const char* const kTexts[] = {
    "::",
    "::1",
    "1::",
    "fe80::1",
    "FE80::0:0:1",
    "2001:db8::1:0:0:1",  // two runs of equal length: the first is shortened
    "2001:db8:0:0:1:0:0:1",
    "2001:0db8:0000:0000:0000:0000:0000:0001",
    "2001:db8:0:1:1:1:1:1",  // a single zero group stays
    "1:2:3:4:5:6:7:8",
    "::ffff:192.0.2.1",
    "::192.0.2.1",
    "::ffff:0:0",
    "64:ff9b::192.0.2.33",
    "ff02::1:ff00:1",
    "1:2:3:4:5:6:1.2.3.4",
    // refused by both
    "",
    ":",
    ":::",
    "1:::2",
    "1::2::3",
    "1:2:3:4:5:6:7:8:9",
    "1:2:3:4:5:6:7",
    "12345::",
    "g::1",
    "::1.2.3",
    "::1.2.3.4.5",
    "1.2.3.4::",
    "::1:",
    ":1::",
    "fe80::1%eth0",
    " ::1",
    "1:2:3:4:5:6:7::8",
    "::01.2.3.4",
};

TEST(Ipv6Text, ReadsAndWritesAsTheCLibraryDoes)
{
    for (const char* text : kTexts) {
        in6_addr system {};
        const bool systemReads = inet_pton(AF_INET6, text, &system) == 1;
        const auto ours = parseAddress(text);
        ASSERT_EQ(ours.has_value(), systemReads) << '"' << text << '"';
        if (!ours)
            continue;
        ASSERT_TRUE(ours->isV6());
        EXPECT_EQ(0, std::memcmp(ours->data(), &system, 16)) << text;
        char written[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &system, written, sizeof written);
        EXPECT_EQ(addressText(*ours), written) << text;
    }
}

TEST(Ipv6Text, OrdersIpv4FirstThenIpv6ByBytesThenZone)
{
    const std::set<IpAddress> sorted { *parseAddress("fe80::1", 3), *parseAddress("10.0.0.10"),
        *parseAddress("2001:db8::1"), *parseAddress("fe80::1", 2), *parseAddress("10.0.0.9"),
        *parseAddress("::1"), *parseAddress("255.255.255.255") };
    std::string order;
    for (const IpAddress& address : sorted)
        order += addressText(address) + "%" + std::to_string(address.zone()) + " ";
    EXPECT_EQ(order, "10.0.0.9%0 10.0.0.10%0 255.255.255.255%0 ::1%0 2001:db8::1%0 fe80::1%2 fe80::1%3 ");
}

TEST(Ipv6Text, OnlyALinkLocalAddressKeepsItsZone)
{
    EXPECT_EQ(parseAddress("fe80::1", 7)->zone(), 7u);
    EXPECT_EQ(parseAddress("febf::1", 7)->zone(), 7u);
    EXPECT_EQ(parseAddress("fec0::1", 7)->zone(), 0u);
    EXPECT_EQ(parseAddress("2001:db8::1", 7)->zone(), 0u);
    EXPECT_EQ(parseAddress("10.0.0.1", 7)->zone(), 0u);
}

TEST(Ipv6Text, Ipv4AndIpv6OfTheSameBytesDiffer)
{
    // ::a.b.c.d is an IPv6 address; it must never collide with a.b.c.d.
    EXPECT_NE(*parseAddress("::10.0.0.1"), *parseAddress("10.0.0.1"));
    EXPECT_EQ(parseAddress("10.0.0.1")->v4Value(), *parseDottedQuad("10.0.0.1"));
    EXPECT_EQ(parseAddress("::10.0.0.1")->v4Value(), 0u);
}

}  // namespace
}  // namespace tevra
