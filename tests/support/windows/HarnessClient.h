// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HarnessProtocol.h"

#include <string>

namespace tevra::test {

// Whether the Linux harness runs this program (see HarnessProtocol.h).
bool harnessPresent();
// One request to the harness and its answer; empty when none came.
std::string askHarness(const std::string& request);

}  // namespace tevra::test
