// SPDX-License-Identifier: GPL-3.0-or-later
#include "PacketSocket.h"

#include "NamespacePair.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace tevra::test {

Mac parseMac(const std::string& text)
{
    Mac mac {};
    unsigned b[6] {};
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) == 6)
        for (std::size_t i = 0; i < mac.size(); ++i)
            mac[i] = static_cast<std::uint8_t>(b[i]);
    return mac;
}

int packetSocket(const std::string& namespaceName, const std::string& interfaceName, int type,
    std::uint16_t protocol, sockaddr_ll& link)
{
    const NamespaceEntry entry(namespaceName);
    if (!entry.ok())
        return -1;
    const int fd = socket(AF_PACKET, type | SOCK_CLOEXEC, htons(protocol));
    link = {};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(protocol);
    link.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
    if (fd >= 0
        && (link.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace tevra::test
