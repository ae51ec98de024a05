// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/FailureText.h"

#include <algorithm>

namespace tevra {
namespace {

// A selection of hundreds of rows must not give a box taller than the screen.
constexpr std::size_t kListedFailures = 10;

}  // namespace

std::string actionFailureText(std::string_view what, const std::vector<ActionFailure>& failures)
{
    std::string text(what);
    const std::size_t listed = std::min(failures.size(), kListedFailures);
    for (std::size_t i = 0; i < listed; ++i) {
        const ActionFailure& failure = failures[i];
        text += '\n';
        text += failure.subject.empty() ? failure.reason : failure.subject + ": " + failure.reason;
    }
    if (failures.size() > listed)
        text += "\nand " + std::to_string(failures.size() - listed) + " more";
    const bool refused = std::ranges::any_of(failures,
        [](const ActionFailure& failure) { return failure.kind == hostnet::Failure::NotPermitted; });
    if (refused)
        text += "\n\nThis action needs administrator rights.";
    return text;
}

}  // namespace tevra
