// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tevra::hostnet {

// The driver behind a network interface of the current namespace, as ethtool
// reports it ("virtio_net", "e1000e"); empty when the interface does not say.
std::string driverName(const std::string& interfaceName);

}  // namespace tevra::hostnet
