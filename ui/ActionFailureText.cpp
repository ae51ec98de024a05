#include "ui/ActionFailureText.h"

#include <QStringList>

#include <algorithm>

namespace tevra {
namespace {

// A selection of hundreds of rows must not give a box taller than the screen.
constexpr std::size_t kListedFailures = 10;

}  // namespace

QString actionFailureText(const QString& what, const std::vector<ActionFailure>& failures)
{
    QStringList lines { what };
    const std::size_t listed = std::min(failures.size(), kListedFailures);
    for (std::size_t i = 0; i < listed; ++i) {
        const ActionFailure& failure = failures[i];
        const QString reason = QString::fromStdString(failure.reason);
        lines << (failure.subject.empty() ? reason : QString::fromStdString(failure.subject) + ": " + reason);
    }
    if (failures.size() > listed)
        lines << QStringLiteral("and %1 more").arg(failures.size() - listed);
    const bool refused = std::ranges::any_of(failures,
        [](const ActionFailure& failure) { return failure.kind == hostnet::Failure::NotPermitted; });
    if (refused)
        lines << QString() << QStringLiteral("This action needs administrator rights.");
    return lines.join('\n');
}

}  // namespace tevra
