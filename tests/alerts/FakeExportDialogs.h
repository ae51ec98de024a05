// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/ExportDialogs.h"

#include <functional>
#include <optional>

namespace tevra::test {

// The user's answer to the save dialog, and how often the error box came up.
class FakeExportDialogs : public ExportDialogs {
public:
    std::optional<QString> askSavePath() override
    {
        ++dialogsShown;
        if (whileOpen)
            whileOpen();
        return answer;
    }
    void showWriteError() override { ++errorsShown; }

    std::optional<QString> answer;
    // Runs while the dialog is "open", as timer ticks would.
    std::function<void()> whileOpen;
    int dialogsShown = 0;
    int errorsShown = 0;
};

}  // namespace tevra::test
