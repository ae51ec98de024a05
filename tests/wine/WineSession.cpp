// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineSession.h"

#include <sys/prctl.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace tevra::test {
namespace {

// Wine's own noise off, no .NET or browser engine to install into the prefix,
// no menu entries made on the desktop.
const std::vector<std::string> kWineSettings {
    "WINEDEBUG=-all",
    "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
};

// `command` with its standard output and error discarded.
std::vector<std::string> withoutOutput(const std::vector<std::string>& command)
{
    std::vector<std::string> line { "sh", "-c", "exec \"$@\" > /dev/null 2>&1", "sh" };
    line.insert(line.end(), command.begin(), command.end());
    return line;
}

// The wineserver and the services it starts leave their parent: as a
// subreaper this program gets them back and can reap them when they end.
void reapOrphans(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t reaped = waitpid(-1, nullptr, WNOHANG);
        if (reaped < 0)
            return;  // no child left
        if (reaped == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

WineSession::WineSession(const std::string& namespaceName, const std::string& windowsBuild)
    : namespace_(namespaceName)
    , windowsBuild_(windowsBuild)
{
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    char directory[] = "/tmp/tevra-wine-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        error_ = "cannot make a Wine prefix directory";
        return;
    }
    prefix_ = directory;
    // A server that stays until told to stop, started inside the namespace;
    // wineboot then fills the empty prefix and starts Wine's services. Both
    // outlive the command that started them and would hold its output open,
    // the services through the standard handles they inherit from wineboot.
    if (runCommand(inNamespace(withoutOutput({ TEVRA_WINESERVER, "-p" }))).status != 0) {
        error_ = "wineserver did not start";
        return;
    }
    if (runCommand(inNamespace(withoutOutput({ TEVRA_WINE, "wineboot", "--init" }))).status != 0)
        error_ = "wineboot --init failed";
}

WineSession::~WineSession()
{
    if (prefix_.empty())
        return;
    runCommand(inNamespace({ TEVRA_WINESERVER, "-k" }));
    reapOrphans(std::chrono::seconds(5));
    std::error_code ignored;
    std::filesystem::remove_all(prefix_, ignored);
}

std::vector<std::string> WineSession::inNamespace(const std::vector<std::string>& command) const
{
    // Wine's desktop process, which wineboot starts, opens the X display for
    // every window of the session: the display the tests run on, if any.
    std::vector<std::string> line { "ip", "netns", "exec", namespace_, "env", "-u", "WAYLAND_DISPLAY",
        "WINEPREFIX=" + prefix_ };
    line.insert(line.end(), kWineSettings.begin(), kWineSettings.end());
    line.insert(line.end(), command.begin(), command.end());
    return line;
}

std::vector<std::string> WineSession::command(const std::string& program,
    const std::vector<std::string>& arguments, const std::vector<std::string>& environment) const
{
    std::vector<std::string> line(environment);
    line.push_back(TEVRA_WINE);
    line.push_back(windowsBuild_ + "/" + program);
    line.insert(line.end(), arguments.begin(), arguments.end());
    return inNamespace(line);
}

CommandResult WineSession::run(const std::string& program, const std::vector<std::string>& arguments) const
{
    return runCommand(command(program, arguments));
}

CommandResult WineSession::wine(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> line { TEVRA_WINE };
    line.insert(line.end(), arguments.begin(), arguments.end());
    return runCommand(inNamespace(line));
}

std::string withoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

}  // namespace tevra::test
