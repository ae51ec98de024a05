// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpAddress.h"
#include "hostnet/windows/IpHelperApi.h"

#include <optional>

namespace tevra::hostnet {

// The address a SOCKADDR_INET holds, or none for another family. A
// link-local IPv6 address is one only on its own link: its zone is the
// interface it was seen on.
std::optional<IpAddress> ipAddressOf(const SOCKADDR_INET& address, NET_IFINDEX interfaceIndex);

// The SOCKADDR_INET of an address; a link-local one has its zone as scope id.
SOCKADDR_INET socketAddressOf(const IpAddress& address);

}  // namespace tevra::hostnet
