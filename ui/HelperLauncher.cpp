#include "ui/HelperLauncher.h"

#include "ui/HelperAnswers.h"

#include <QProcess>

#include <array>
#include <utility>

namespace tevra {
namespace {

// Long enough for a person to read the desktop's password prompt and answer it.
constexpr int kAnswerTimeoutMs = 5 * 60 * 1000;

// What pkexec's own exit statuses mean; the helper's are 0, 1 and 2.
struct ExitMeaning {
    int status;
    std::string_view text;
    bool rightsRefused;
};
constexpr std::array<ExitMeaning, 3> kExitMeanings { {
    { kHelperArgumentsRefused, kHelperRefusedArguments, false },
    { 126, kConsentDismissed, true },
    { 127, kNotAuthorized, true },
} };

HelperLauncher::Failure failure(QString reason)
{
    return { std::move(reason), false };
}

// The helper says why on the last line of its standard error, after its name.
QString lastLine(const QByteArray& text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    QString line = QString::fromLocal8Bit(lines.last().trimmed());
    const QString name = QStringLiteral("tevra-arp-helper: ");
    return line.startsWith(name) ? line.mid(name.size()) : line;
}

}  // namespace

HelperLauncher::HelperLauncher(QStringList command)
    : command_(std::move(command))
{
}

std::optional<HelperLauncher::Failure> HelperLauncher::run(const QStringList& step) const
{
    if (command_.isEmpty())
        return failure(QStringLiteral("no helper to run"));
    QProcess process;
    process.setProgram(command_.first());
    process.setArguments(command_.mid(1) + step);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted())
        return failure(command_.first() + QStringLiteral(" could not be started: ") + process.errorString());
    if (!process.waitForFinished(kAnswerTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return failure(QStringLiteral("no answer from ") + command_.first());
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return failure(command_.first() + QStringLiteral(" ended abnormally"));
    const int status = process.exitCode();
    if (status == 0)
        return std::nullopt;
    const QString said = lastLine(process.readAllStandardError());
    if (status == 1 && !said.isEmpty())
        return failure(said);
    for (const ExitMeaning& meaning : kExitMeanings)
        if (meaning.status == status)
            return Failure { QString::fromUtf8(meaning.text.data(), qsizetype(meaning.text.size())),
                meaning.rightsRefused };
    return failure(said.isEmpty() ? QString::fromStdString(helperFailedText(status)) : said);
}

}  // namespace tevra
