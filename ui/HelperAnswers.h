#pragma once

#include <string>
#include <string_view>

namespace tevra {

// What the window says when tevra-arp-helper did not do a step, in the same
// words on every system, whichever way the administrator's consent is asked
// for (pkexec on Linux, "runas" on Windows).
inline constexpr std::string_view kConsentDismissed = "the administrator's authentication was dismissed";
inline constexpr std::string_view kNotAuthorized = "not authorized to change the ARP table";
inline constexpr std::string_view kHelperRefusedArguments = "the helper refused its arguments";

// The helper's exit statuses, the same on every system.
inline constexpr int kHelperDone = 0;
inline constexpr int kHelperSystemRefused = 1;  // the reason on its standard error
inline constexpr int kHelperArgumentsRefused = 2;

// An exit status the helper never gives.
inline std::string helperFailedText(long long status)
{
    return "the helper failed (exit status " + std::to_string(status) + ")";
}

}  // namespace tevra
