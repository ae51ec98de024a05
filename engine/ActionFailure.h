// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <string>

namespace tevra {

// An action on the system's ARP table that did not do what was asked, kept
// for the front end to tell the user.
struct ActionFailure {
    std::string subject;  // the address the action was about; empty for a flush or a discovery
    std::string reason;  // the host's words
    hostnet::Failure kind = hostnet::Failure::Other;
};

}  // namespace tevra
