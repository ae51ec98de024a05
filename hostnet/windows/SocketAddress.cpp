// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/windows/SocketAddress.h"

#include <cstring>

namespace tevra::hostnet {

std::optional<IpAddress> ipAddressOf(const SOCKADDR_INET& address, NET_IFINDEX interfaceIndex)
{
    if (address.si_family == AF_INET)
        return IpAddress::v4(address.Ipv4.sin_addr.S_un.S_addr);
    if (address.si_family != AF_INET6)
        return std::nullopt;
    IpAddress::V6Bytes bytes {};
    std::memcpy(bytes.data(), &address.Ipv6.sin6_addr, bytes.size());
    return IpAddress::v6(bytes, interfaceIndex);
}

SOCKADDR_INET socketAddressOf(const IpAddress& address)
{
    SOCKADDR_INET socketAddress {};
    if (address.isV4()) {
        socketAddress.Ipv4.sin_family = AF_INET;
        socketAddress.Ipv4.sin_addr.S_un.S_addr = address.v4Value();
        return socketAddress;
    }
    socketAddress.Ipv6.sin6_family = AF_INET6;
    std::memcpy(&socketAddress.Ipv6.sin6_addr, address.data(), 16);
    socketAddress.Ipv6.sin6_scope_id = address.zone();
    return socketAddress;
}

}  // namespace tevra::hostnet
