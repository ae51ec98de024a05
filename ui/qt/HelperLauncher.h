#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tevra {

// Runs tevra-arp-helper for one step and waits for it: through pkexec on a
// desktop, so that the desktop asks for the administrator's password, or
// directly where the caller already has the rights (the tests, as root).
class HelperLauncher {
public:
    // `command` is the program and its leading arguments, e.g. pkexec and the
    // helper's path; a step's arguments follow them.
    explicit HelperLauncher(QStringList command);
    virtual ~HelperLauncher() = default;

    struct Failure {
        QString reason;  // for a person to read
        bool rightsRefused = false;  // the administrator's consent was not given
    };

    // Empty when the step was done; otherwise why not.
    virtual std::optional<Failure> run(const QStringList& step) const;

private:
    QStringList command_;
};

}  // namespace tevra
