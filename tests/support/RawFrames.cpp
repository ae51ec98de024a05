// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawFrames.h"

#include "PacketSocket.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tevra::test {
namespace {

std::array<std::uint8_t, 4> parseIp(const std::string& text)
{
    std::array<std::uint8_t, 4> address {};
    inet_pton(AF_INET, text.c_str(), address.data());
    return address;
}

bool isEchoRequestTo(
    const std::uint8_t* packet, std::size_t length, const std::array<std::uint8_t, 4>& target)
{
    if (length < 20 || (packet[0] >> 4) != 4 || packet[9] != IPPROTO_ICMP)
        return false;
    const std::size_t headerLength = std::size_t(packet[0] & 0x0F) * 4;
    return length > headerLength && std::memcmp(packet + 16, target.data(), 4) == 0
        && packet[headerLength] == 8;
}

}  // namespace

EchoRequestCounter::EchoRequestCounter(const std::string& namespaceName, const std::string& interfaceName)
{
    sockaddr_ll link {};
    socket_ = packetSocket(namespaceName, interfaceName, SOCK_DGRAM, ETH_P_IP, link);
}

EchoRequestCounter::~EchoRequestCounter()
{
    if (socket_ >= 0)
        close(socket_);
}

int EchoRequestCounter::count(const std::string& dottedTarget, std::chrono::milliseconds window)
{
    const auto target = parseIp(dottedTarget);
    const auto deadline = std::chrono::steady_clock::now() + window;
    int seen = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd { socket_, POLLIN, 0 };
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            return seen;
        std::array<std::uint8_t, 2048> packet {};
        const ssize_t length = recv(socket_, packet.data(), packet.size(), 0);
        if (length > 0 && isEchoRequestTo(packet.data(), static_cast<std::size_t>(length), target))
            ++seen;
    }
}

bool sendArpReply(const std::string& namespaceName, const std::string& interfaceName,
    const std::string& senderMac, const std::string& senderIp, const std::string& targetMac,
    const std::string& targetIp)
{
    sockaddr_ll link {};
    const int fd = packetSocket(namespaceName, interfaceName, SOCK_RAW, ETH_P_ARP, link);
    if (fd < 0)
        return false;
    const Mac sender = parseMac(senderMac);
    const Mac target = parseMac(targetMac);
    std::vector<std::uint8_t> frame;
    const auto put = [&frame](const auto& bytes) { frame.insert(frame.end(), bytes.begin(), bytes.end()); };
    put(target);  // Ethernet destination
    put(sender);  // Ethernet source
    put(std::array<std::uint8_t, 2> { 0x08, 0x06 });  // ARP
    put(std::array<std::uint8_t, 8> { 0, 1, 8, 0, 6, 4, 0, 2 });  // Ethernet/IPv4, reply
    put(sender);
    put(parseIp(senderIp));
    put(target);
    put(parseIp(targetIp));
    link.sll_halen = 6;
    std::memcpy(link.sll_addr, target.data(), target.size());
    const ssize_t sent
        = sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&link), sizeof link);
    close(fd);
    return sent == static_cast<ssize_t>(frame.size());
}

bool sendArpRequests(const std::string& namespaceName, const std::string& interfaceName,
    const std::vector<ArpSender>& senders, const std::string& targetIp)
{
    sockaddr_ll link {};
    const int fd = packetSocket(namespaceName, interfaceName, SOCK_RAW, ETH_P_ARP, link);
    if (fd < 0)
        return false;
    const Mac broadcast { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
    link.sll_halen = 6;
    std::memcpy(link.sll_addr, broadcast.data(), broadcast.size());
    bool allSent = true;
    for (const ArpSender& from : senders) {
        const Mac sender = parseMac(from.mac);
        std::vector<std::uint8_t> frame;
        const auto put
            = [&frame](const auto& bytes) { frame.insert(frame.end(), bytes.begin(), bytes.end()); };
        put(broadcast);  // Ethernet destination
        put(sender);  // Ethernet source
        put(std::array<std::uint8_t, 2> { 0x08, 0x06 });  // ARP
        put(std::array<std::uint8_t, 8> { 0, 1, 8, 0, 6, 4, 0, 1 });  // Ethernet/IPv4, request
        put(sender);
        put(parseIp(from.ip));
        put(Mac {});
        put(parseIp(targetIp));
        const ssize_t sent = sendto(
            fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&link), sizeof link);
        allSent = allSent && sent == static_cast<ssize_t>(frame.size());
    }
    close(fd);
    return allSent;
}

}  // namespace tevra::test
