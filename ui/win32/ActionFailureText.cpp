#include "ui/win32/ActionFailureText.h"

#include <algorithm>

namespace tevra::win32 {
namespace {

constexpr std::size_t kListedFailures = 10;

}  // namespace

std::string actionFailureText(const std::string& what, const std::vector<ActionFailure>& failures)
{
    std::string text = what;
    const std::size_t listed = std::min(failures.size(), kListedFailures);
    for (std::size_t i = 0; i < listed; ++i) {
        const ActionFailure& failure = failures[i];
        text += '\n' + (failure.subject.empty() ? failure.reason : failure.subject + ": " + failure.reason);
    }
    if (failures.size() > listed)
        text += "\nand " + std::to_string(failures.size() - listed) + " more";
    if (std::ranges::any_of(
            failures, [](const ActionFailure& f) { return f.kind == hostnet::Failure::NotPermitted; }))
        text += "\n\nThis action needs administrator rights.";
    return text;
}

}  // namespace tevra::win32
