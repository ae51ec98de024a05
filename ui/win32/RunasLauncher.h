// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/ElevatedLauncher.h"
#include "ui/win32/ShellApi.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tevra::win32 {

// Runs tevra-arp-helper.exe through ShellExecuteExW with the verb "runas", so
// that Windows asks for an administrator's consent, and waits for its exit
// code. Windows shows no prompt for a helper that is already elevated, so a
// window run as administrator never gets here: its own call succeeds.
class RunasLauncher {
public:
    RunasLauncher(std::filesystem::path helper, std::unique_ptr<ShellApi> shell);

    // One run per step (its arguments, e.g. flush 3), stopping at the first
    // that fails; none when all were done. Blocks until the person has answered
    // and the helper has ended: call it from a thread other than the window's.
    ElevatedResult run(const std::vector<std::vector<std::string>>& steps) const;

    // How long a started helper may take to delete or flush before it is
    // given up on (it cannot be ended: it runs with rights the window lacks).
    static constexpr DWORD kHelperTimeoutMs = 60'000;

private:
    ElevatedResult runStep(const std::vector<std::string>& step) const;
    ElevatedResult waitForExit(HANDLE process) const;

    std::filesystem::path helper_;
    std::unique_ptr<ShellApi> shell_;
};

// tevra-arp-helper.exe in the program's folder (installed, unpacked, or in
// the build, which copies it there); empty when it is not there. Never a
// folder above: on Windows one may be anybody's to write (C:\), and what is
// found there would be run with an administrator's rights.
std::filesystem::path findHelper(const std::filesystem::path& programFolder);

}  // namespace tevra::win32
