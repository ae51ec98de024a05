// SPDX-License-Identifier: GPL-3.0-or-later
#include "NamespacePair.h"

#include "Command.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string_view>

namespace tevra::test {
namespace {

constexpr std::string_view kPrefix = "tevra-t-";

bool runIp(const std::vector<std::string>& arguments)
{
    std::vector<std::string> command { "ip" };
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runCommand(command).status == 0;
}

// Namespaces named tevra-t-<pid>-... whose test program is gone.
void removeLeftovers()
{
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator("/run/netns", error)) {
        const std::string name = file.path().filename().string();
        if (!name.starts_with(kPrefix))
            continue;
        const pid_t owner = static_cast<pid_t>(std::atol(name.c_str() + kPrefix.size()));
        if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH)
            runIp({ "netns", "del", name });
    }
}

}  // namespace

bool NamespacePair::available()
{
    return geteuid() == 0;
}

NamespacePair::NamespacePair()
{
    static std::atomic<int> counter { 0 };
    removeLeftovers();
    const std::string stem
        = std::string(kPrefix) + std::to_string(getpid()) + "-" + std::to_string(counter++);
    host_ = stem + "-h";
    peer_ = stem + "-p";
    const std::vector<std::vector<std::string>> steps {
        { "netns", "add", host_ },
        { "netns", "add", peer_ },
        { "-n", host_, "link", "add", "veth0", "address", kHostMac, "type", "veth", "peer", "name", "veth1",
            "address", kPeerMac, "netns", peer_ },
        { "-n", host_, "addr", "add", std::string(kHostAddress) + "/24", "dev", "veth0" },
        { "-n", peer_, "addr", "add", std::string(kPeerAddress) + "/24", "dev", "veth1" },
        { "-n", host_, "link", "set", "veth0", "up" },
        { "-n", peer_, "link", "set", "veth1", "up" },
    };
    for (const auto& step : steps) {
        if (!runIp(step)) {
            error = "ip";
            for (const std::string& argument : step)
                error += " " + argument;
            error += " failed";
            return;
        }
    }
}

NamespacePair::~NamespacePair()
{
    // Deleting a namespace takes its end of the veth pair, and so the other end, with it.
    runIp({ "netns", "del", host_ });
    runIp({ "netns", "del", peer_ });
}

bool NamespacePair::ipInHost(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command { "-n", host_ };
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runIp(command);
}

bool NamespacePair::ipInPeer(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command { "-n", peer_ };
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runIp(command);
}

std::vector<std::string> NamespacePair::execInHost(std::vector<std::string> command) const
{
    command.insert(command.begin(), { "ip", "netns", "exec", host_ });
    return command;
}

NamespaceEntry::NamespaceEntry(const std::string& name)
{
    previous_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    entered_ = previous_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        close(target);
}

NamespaceEntry::~NamespaceEntry()
{
    if (entered_)
        setns(previous_, CLONE_NEWNET);
    if (previous_ >= 0)
        close(previous_);
}

}  // namespace tevra::test
