// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace tevra {

// The two dialogs a save command may show, so the command can be run
// without modal dialogs.
class ExportDialogs {
public:
    virtual ~ExportDialogs() = default;

    // Asks where to save; nothing when the user did not confirm a file.
    virtual std::optional<QString> askSavePath() = 0;
    // Tells the user the file could not be written.
    virtual void showWriteError() = 0;
};

}  // namespace tevra
