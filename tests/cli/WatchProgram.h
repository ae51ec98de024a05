// SPDX-License-Identifier: GPL-3.0-or-later
// The tevra-watch this build made, which the suites that run it start.
#pragma once

#include <string>

namespace tevra::test {

inline const std::string kWatch = TEVRA_WATCH_PATH;

}  // namespace tevra::test
