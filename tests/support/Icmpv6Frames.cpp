// SPDX-License-Identifier: GPL-3.0-or-later
#include "Icmpv6Frames.h"

#include "PacketSocket.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

namespace tevra::test {
namespace {

using Address = std::array<std::uint8_t, 16>;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kRouterAdvert = 134;
constexpr std::uint8_t kNeighbourSolicit = 135;
constexpr std::uint8_t kNeighbourAdvert = 136;
constexpr std::uint8_t kSourceLinkOption = 1;
constexpr std::uint8_t kTargetLinkOption = 2;
constexpr std::uint8_t kPrefixOption = 3;

std::optional<Address> parseAddress(const std::string& text)
{
    Address address {};
    if (inet_pton(AF_INET6, text.c_str(), address.data()) != 1)
        return std::nullopt;
    return address;
}

std::optional<Mac> parseMacStrict(const std::string& text)
{
    const Mac mac = parseMac(text);
    if (mac == Mac {} && text != "00:00:00:00:00:00")
        return std::nullopt;
    return mac;
}

template<typename Range> void put(Bytes& bytes, const Range& range)
{
    bytes.insert(bytes.end(), range.begin(), range.end());
}

void put16(Bytes& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

void put32(Bytes& bytes, std::uint32_t value)
{
    put16(bytes, static_cast<std::uint16_t>(value >> 16));
    put16(bytes, static_cast<std::uint16_t>(value));
}

// A link-layer address option (8 bytes for Ethernet); nothing for an empty MAC.
bool putLinkOption(Bytes& body, std::uint8_t type, const std::string& mac)
{
    if (mac.empty())
        return true;
    const auto parsed = parseMacStrict(mac);
    if (!parsed)
        return false;
    body.push_back(type);
    body.push_back(1);  // in units of 8 bytes
    put(body, *parsed);
    return true;
}

// The one's complement sum over the pseudo-header and the message.
std::uint16_t checksum(const Address& source, const Address& destination, const Bytes& message)
{
    Bytes covered;
    put(covered, source);
    put(covered, destination);
    put32(covered, static_cast<std::uint32_t>(message.size()));
    put32(covered, IPPROTO_ICMPV6);
    put(covered, message);
    if (covered.size() % 2 != 0)
        covered.push_back(0);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < covered.size(); i += 2)
        sum += static_cast<std::uint32_t>(covered[i] << 8 | covered[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// Wraps an ICMPv6 message (checksum bytes zero) in IPv6 and Ethernet, and sends it.
bool send(const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, Bytes message)
{
    const auto source = parseAddress(addressing.sourceAddress);
    const auto destination = parseAddress(addressing.destinationAddress);
    const auto sourceMac = parseMacStrict(addressing.sourceMac);
    const auto destinationMac = parseMacStrict(addressing.destinationMac);
    if (!source || !destination || !sourceMac || !destinationMac || message.size() < 4)
        return false;
    const std::uint16_t sum = checksum(*source, *destination, message);
    message[2] = static_cast<std::uint8_t>(sum >> 8);
    message[3] = static_cast<std::uint8_t>(sum);

    Bytes frame;
    put(frame, *destinationMac);
    put(frame, *sourceMac);
    put16(frame, ETH_P_IPV6);
    put32(frame, 0x60000000);  // version 6, no traffic class, no flow label
    put16(frame, static_cast<std::uint16_t>(message.size()));
    frame.push_back(IPPROTO_ICMPV6);
    frame.push_back(255);  // hop limit: receivers drop neighbour discovery that crossed a router
    put(frame, *source);
    put(frame, *destination);
    put(frame, message);

    sockaddr_ll link {};
    const int fd = packetSocket(wire.namespaceName, wire.interfaceName, SOCK_RAW, ETH_P_IPV6, link);
    if (fd < 0)
        return false;
    link.sll_halen = 6;
    std::memcpy(link.sll_addr, destinationMac->data(), destinationMac->size());
    const ssize_t sent
        = sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&link), sizeof link);
    close(fd);
    return sent == static_cast<ssize_t>(frame.size());
}

Bytes header(std::uint8_t type)
{
    return { type, 0, 0, 0 };  // type, code, checksum filled in by send()
}

}  // namespace

bool sendNeighbourAdvert(
    const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const NeighbourAdvert& advert)
{
    const auto target = parseAddress(advert.target);
    if (!target)
        return false;
    Bytes message = header(kNeighbourAdvert);
    message.push_back(static_cast<std::uint8_t>(
        (advert.router ? 0x80 : 0) | (advert.solicited ? 0x40 : 0) | (advert.override ? 0x20 : 0)));
    put(message, std::array<std::uint8_t, 3> {});
    put(message, *target);
    return putLinkOption(message, kTargetLinkOption, advert.targetMac) && send(wire, addressing, message);
}

bool sendRouterAdvert(const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const RouterAdvert& advert)
{
    Bytes message = header(kRouterAdvert);
    message.push_back(advert.curHopLimit);
    message.push_back(0);  // neither managed nor other configuration
    put16(message, advert.routerLifetimeSeconds);
    put32(message, 0);  // reachable time: unspecified
    put32(message, 0);  // retransmission timer: unspecified
    if (!putLinkOption(message, kSourceLinkOption, advert.sourceMac))
        return false;
    if (advert.prefix) {
        const PrefixInformation& info = *advert.prefix;
        const auto prefix = parseAddress(info.prefix);
        if (!prefix)
            return false;
        message.push_back(kPrefixOption);
        message.push_back(4);
        message.push_back(info.length);
        message.push_back(static_cast<std::uint8_t>((info.onLink ? 0x80 : 0) | (info.autonomous ? 0x40 : 0)));
        put32(message, info.validSeconds);
        put32(message, info.preferredSeconds);
        put32(message, 0);  // reserved
        put(message, *prefix);
    }
    return send(wire, addressing, message);
}

bool sendNeighbourSolicit(
    const Icmpv6Wire& wire, const Icmpv6Addressing& addressing, const NeighbourSolicit& solicit)
{
    const auto target = parseAddress(solicit.target);
    if (!target)
        return false;
    Bytes message = header(kNeighbourSolicit);
    put32(message, 0);  // reserved
    put(message, *target);
    return putLinkOption(message, kSourceLinkOption, solicit.sourceMac) && send(wire, addressing, message);
}

std::string linkLocalOf(const std::string& mac)
{
    const auto parsed = parseMacStrict(mac);
    if (!parsed)
        return {};
    Address address { 0xFE, 0x80 };
    address[8] = (*parsed)[0] ^ 0x02;  // the universal/local bit is inverted
    address[9] = (*parsed)[1];
    address[10] = (*parsed)[2];
    address[11] = 0xFF;
    address[12] = 0xFE;
    address[13] = (*parsed)[3];
    address[14] = (*parsed)[4];
    address[15] = (*parsed)[5];
    char text[INET6_ADDRSTRLEN] {};
    inet_ntop(AF_INET6, address.data(), text, sizeof text);
    return text;
}

}  // namespace tevra::test
