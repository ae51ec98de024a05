// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/HelperAnswers.h"

#include <array>
#include <optional>

namespace tevra {
namespace {

struct ExitMeaning {
    std::optional<HelperLaunch> only;  // a launcher's own status; none: the helper's
    long long status;
    std::string_view text;
    bool rightsRefused;
};
constexpr std::array<ExitMeaning, 4> kExitMeanings { {
    { std::nullopt, kHelperSystemRefused, kSystemRefusedChange, false },
    { std::nullopt, kHelperArgumentsRefused, kHelperRefusedArguments, false },
    { HelperLaunch::Pkexec, 126, kConsentDismissed, true },
    { HelperLaunch::Pkexec, 127, kNotAuthorized, true },
} };

ElevatedFailure failure(std::string_view reason)
{
    return { std::string(reason), false };
}

}  // namespace

ElevatedFailure consentDismissed()
{
    return { std::string(kConsentDismissed), true };
}

ElevatedResult helperAnswer(HelperLaunch launch, long long status, std::string_view said)
{
    if (status == kHelperDone)
        return std::nullopt;
    // The system's own reason says more than the status does.
    if (status == kHelperSystemRefused && !said.empty())
        return failure(said);
    for (const ExitMeaning& meaning : kExitMeanings)
        if (meaning.status == status && (!meaning.only || *meaning.only == launch))
            return ElevatedFailure { std::string(meaning.text), meaning.rightsRefused };
    return failure(said.empty() ? helperFailedText(status) : said);
}

std::string helperFailedText(long long status)
{
    return "the helper failed (exit status " + std::to_string(status) + ")";
}

}  // namespace tevra
