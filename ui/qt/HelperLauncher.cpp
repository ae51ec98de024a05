// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/HelperLauncher.h"

#include "ui/core/HelperAnswers.h"

#include <QMetaObject>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace tevra {
namespace {

// Long enough for a person to read the desktop's password prompt and answer it.
constexpr int kAnswerTimeoutMs = 5 * 60 * 1000;

ElevatedResult failure(const QString& reason)
{
    return ElevatedFailure { reason.toStdString(), false };
}

// The helper says why on the last line of its standard error, after its name.
QString lastLine(const QByteArray& text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    QString line = QString::fromLocal8Bit(lines.last().trimmed());
    const QString name = QStringLiteral("tevra-arp-helper: ");
    return line.startsWith(name) ? line.mid(name.size()) : line;
}

// pkexec's statuses and the helper's, read from the table both systems share.
ElevatedResult meaningOf(int status, const QString& said)
{
    return helperAnswer(HelperLaunch::Pkexec, status, said.toStdString());
}

}  // namespace

// One step: the process, its deadline and whom to tell.
class HelperLauncher::Run {
public:
    Run(const QStringList& command, const std::vector<std::string>& arguments,
        std::function<void(ElevatedResult)> onDone, std::function<void(Run*)> forget)
        : program_(command.value(0))
        , onDone_(std::move(onDone))
        , forget_(std::move(forget))
    {
        QStringList all = command.mid(1);
        for (const std::string& argument : arguments)
            all.push_back(QString::fromStdString(argument));
        process_.setProgram(program_);
        process_.setArguments(all);
        process_.setStandardInputFile(QProcess::nullDevice());
        QObject::connect(&process_, &QProcess::finished, [this](int status, QProcess::ExitStatus how) {
            finish(how == QProcess::NormalExit ? meaningOf(status, lastLine(process_.readAllStandardError()))
                                               : failure(program_ + QStringLiteral(" ended abnormally")));
        });
        QObject::connect(&process_, &QProcess::errorOccurred, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finish(
                    failure(program_ + QStringLiteral(" could not be started: ") + process_.errorString()));
        });
        deadline_.setSingleShot(true);
        QObject::connect(&deadline_, &QTimer::timeout, [this] {
            process_.disconnect();
            process_.kill();
            process_.waitForFinished();
            finish(failure(QStringLiteral("no answer from ") + program_));
        });
    }

    void start()
    {
        deadline_.start(kAnswerTimeoutMs);
        process_.start();
    }

private:
    // Told from the event loop; this run is gone afterwards.
    void finish(ElevatedResult result)
    {
        deadline_.stop();
        process_.disconnect();
        std::function<void(ElevatedResult)> onDone = std::move(onDone_);
        // The process may not be destroyed inside its own signal.
        QMetaObject::invokeMethod(
            &deadline_,
            [this, onDone = std::move(onDone), result = std::move(result)] {
                const auto forget = forget_;
                forget(this);
                onDone(result);
            },
            Qt::QueuedConnection);
    }

    QString program_;
    QProcess process_;
    QTimer deadline_;
    std::function<void(ElevatedResult)> onDone_;
    std::function<void(Run*)> forget_;
};

HelperLauncher::HelperLauncher(QStringList command)
    : command_(std::move(command))
{
}

HelperLauncher::~HelperLauncher() = default;

void HelperLauncher::start(std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone)
{
    auto forget
        = [this](Run* done) { std::erase_if(runs_, [done](const auto& run) { return run.get() == done; }); };
    runs_.push_back(std::make_unique<Run>(command_, arguments, std::move(onDone), forget));
    runs_.back()->start();
}

}  // namespace tevra
