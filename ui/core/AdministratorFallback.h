// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <memory>

namespace tevra {

// The window's host layer: the platform's, and where the desktop has a way to
// ask for an administrator's consent, a delete or flush refused for want of
// rights is done again that way.
std::unique_ptr<hostnet::IpHelper> withAdministratorFallback(std::unique_ptr<hostnet::IpHelper> host);

}  // namespace tevra
