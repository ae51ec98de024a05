// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ActionFailure.h"

#include <string>
#include <string_view>
#include <vector>

namespace tevra {

// The headings of the message box a command shows when actions of it failed.
inline constexpr std::string_view kDeleteFailed = "Could not delete from the system cache:";
inline constexpr std::string_view kFlushFailed = "Could not flush the system cache:";
inline constexpr std::string_view kDiscoverFailed = "Could not start the discovery:";

// The text of that one message box: `what`, then each failure with its reason
// (the first ten, and how many more), and, when the system refused for want of
// rights, that the action needs administrator rights. UTF-8, lines split by LF.
std::string actionFailureText(std::string_view what, const std::vector<ActionFailure>& failures);

}  // namespace tevra
