// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Command.h"

#include <string>
#include <vector>

namespace tevra::test {

// Wine with a private prefix, its wineserver started inside a network
// namespace: Wine answers IP Helper calls from the namespace its server
// started in, so every Windows program run here sees that namespace's tables.
// The server is stopped (wineserver -k) and the prefix removed on destruction.
class WineSession {
public:
    WineSession(const std::string& namespaceName, const std::string& windowsBuild);
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;
    ~WineSession();

    // Empty when the session is ready; else what went wrong setting it up.
    const std::string& error() const { return error_; }

    // The command line that runs a program of the Windows build (a path inside
    // it, "cli/tevra-watch.exe") under Wine in the namespace, with extra
    // VARIABLE=value settings for it.
    std::vector<std::string> command(const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::string>& environment = {}) const;
    // Runs one to its end; as the program wrote it, CR LF and all.
    CommandResult run(const std::string& program, const std::vector<std::string>& arguments) const;
    // Runs `wine ARGUMENTS...` to its end: a program named by its Windows or
    // Linux path, or one of Wine's own ("reg").
    CommandResult wine(const std::vector<std::string>& arguments) const;
    // Where the prefix keeps drive C: on the Linux side.
    std::string driveC() const { return prefix_ + "/drive_c"; }

private:
    std::vector<std::string> inNamespace(const std::vector<std::string>& command) const;

    std::string namespace_;
    std::string windowsBuild_;
    std::string prefix_;
    std::string error_;
};

// Text with every CR LF made a LF, as a Linux program writes lines.
std::string withoutCarriageReturns(std::string text);

}  // namespace tevra::test
