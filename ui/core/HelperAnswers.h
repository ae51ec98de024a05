// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/ElevatedLauncher.h"

#include <string>
#include <string_view>

namespace tevra {

// What the window says when tevra-arp-helper did not do a step, in the same
// words on every system, whichever way the administrator's consent is asked
// for (pkexec on Linux, "runas" on Windows).
inline constexpr std::string_view kConsentDismissed = "the administrator's authentication was dismissed";
inline constexpr std::string_view kNotAuthorized = "not authorized to change the ARP table";
inline constexpr std::string_view kHelperRefusedArguments = "the helper refused its arguments";
inline constexpr std::string_view kSystemRefusedChange = "the system refused the change";

// The helper's exit statuses, the same on every system.
inline constexpr int kHelperDone = 0;
inline constexpr int kHelperSystemRefused = 1;  // the reason on its standard error
inline constexpr int kHelperArgumentsRefused = 2;

// How the helper was started: pkexec answers 126 and 127 itself, for a
// helper it did not start; started with "runas", those are the helper's.
enum class HelperLaunch { Pkexec, Runas };

// The person said no to the prompt (pkexec's 126, Windows' ERROR_CANCELLED).
ElevatedFailure consentDismissed();

// What an exit status means. `said` is the helper's own reason, the last line
// of its standard error; empty where it cannot be read, as from a program
// started with "runas".
ElevatedResult helperAnswer(HelperLaunch launch, long long status, std::string_view said);

// An exit status the helper never gives.
std::string helperFailedText(long long status);

}  // namespace tevra
