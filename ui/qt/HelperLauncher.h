// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/ElevatedLauncher.h"

#include <QStringList>

#include <memory>

namespace tevra {

// Runs tevra-arp-helper for one step on Qt's event loop: through pkexec on a
// desktop, so that the desktop asks for the administrator's password, or
// directly where the caller already has the rights (the tests, as root).
class HelperLauncher : public ElevatedLauncher {
public:
    // `command` is the program and its leading arguments, e.g. pkexec and the
    // helper's path; a step's arguments follow them.
    explicit HelperLauncher(QStringList command);
    ~HelperLauncher() override;

    void start(std::vector<std::string> arguments, std::function<void(ElevatedResult)> onDone) override;

private:
    class Run;

    QStringList command_;
    // The steps under way; one goes when it has answered.
    std::vector<std::unique_ptr<Run>> runs_;
};

}  // namespace tevra
