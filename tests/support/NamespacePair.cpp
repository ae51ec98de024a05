// SPDX-License-Identifier: GPL-3.0-or-later
#include "NamespacePair.h"

#include "Command.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>
#include <tuple>

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

// Writes /proc/sys/net/ipv6/conf/<key> as seen from inside a namespace.
bool setIpv6Conf(const std::string& namespaceName, const std::string& key, const std::string& value)
{
    const NamespaceEntry entry(namespaceName);
    if (!entry.ok())
        return false;
    std::ofstream file("/proc/sys/net/ipv6/conf/" + key);
    file << value << std::flush;
    return file.good();
}

// Whether `ip -6 addr show` of the interface shows `shown` and no address
// still in duplicate address detection.
bool addressesSettled(
    const std::string& namespaceName, const std::string& interfaceName, const std::string& shown)
{
    const CommandResult listed
        = runCommand({ "ip", "-n", namespaceName, "-6", "addr", "show", "dev", interfaceName });
    return listed.status == 0 && listed.out.find(shown) != std::string::npos
        && listed.out.find("tentative") == std::string::npos;
}

bool waitForAddresses(
    const std::string& namespaceName, const std::string& interfaceName, const std::string& shown)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!addressesSettled(namespaceName, interfaceName, shown)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// What `ip -6 addr show` writes for an address of its own.
std::string addressLine(const std::string& address)
{
    return "inet6 " + address + "/";
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
    runSteps(steps);
}

NamespacePair::~NamespacePair()
{
    // Deleting a namespace takes its end of the veth pair, and so the other end, with it.
    runIp({ "netns", "del", host_ });
    runIp({ "netns", "del", peer_ });
}

bool NamespacePair::enableIpv6()
{
    // Host: a plain end system that takes advertisements. Peer: takes none, so
    // the frames it forges change only the host. "default" covers the
    // stations added later.
    const std::vector<std::tuple<std::string, std::string, std::string>> settings {
        { host_, "all/forwarding", "0" },
        { host_, "veth0/accept_dad", "0" },
        { host_, "veth0/accept_ra", "1" },
        { host_, "veth0/accept_ra_defrtr", "1" },
        { host_, "veth0/accept_ra_pinfo", "1" },
        { host_, "veth0/autoconf", "1" },
        { peer_, "default/accept_dad", "0" },
        { peer_, "default/accept_ra", "0" },
        { peer_, "veth1/accept_dad", "0" },
        { peer_, "veth1/accept_ra", "0" },
    };
    for (const auto& [name, key, value] : settings) {
        if (!setIpv6Conf(name, key, value)) {
            error = "setting net.ipv6.conf." + key + " in " + name + " failed";
            return false;
        }
    }
    // The link-local addresses made when the links came up are still in
    // detection; taking the links down and up makes them anew without it.
    const std::vector<std::vector<std::string>> steps {
        { "-n", host_, "link", "set", "veth0", "down" },
        { "-n", peer_, "link", "set", "veth1", "down" },
        { "-n", host_, "link", "set", "veth0", "up" },
        { "-n", peer_, "link", "set", "veth1", "up" },
        { "-n", host_, "addr", "add", std::string(kHostAddress6) + "/64", "dev", "veth0", "nodad" },
        { "-n", peer_, "addr", "add", std::string(kPeerAddress6) + "/64", "dev", "veth1", "nodad" },
    };
    if (!runSteps(steps))
        return false;
    for (const auto& [name, interfaceName, address] :
        { std::tuple { host_, "veth0", kHostLinkLocal }, std::tuple { peer_, "veth1", kPeerLinkLocal },
            std::tuple { host_, "veth0", kHostAddress6 }, std::tuple { peer_, "veth1", kPeerAddress6 } }) {
        if (!waitForAddresses(name, interfaceName, addressLine(address))) {
            error = std::string(address) + " did not settle on " + interfaceName + " in " + name;
            return false;
        }
    }
    return true;
}

bool NamespacePair::addPeerStation(const std::string& mac, const std::string& address6)
{
    static std::atomic<int> counter { 0 };
    const std::string name = "st" + std::to_string(counter++);
    const std::vector<std::vector<std::string>> steps {
        { "-n", peer_, "link", "add", "link", "veth1", "name", name, "address", mac, "type", "macvlan",
            "mode", "bridge" },
        { "-n", peer_, "link", "set", name, "up" },
        { "-n", peer_, "addr", "add", address6 + "/64", "dev", name, "nodad" },
    };
    if (!runSteps(steps))
        return false;
    // Its link-local address too, made from its MAC when it came up.
    if (!waitForAddresses(peer_, name, addressLine(address6))
        || !waitForAddresses(peer_, name, "scope link")) {
        error = address6 + " did not settle on " + name;
        return false;
    }
    return true;
}

bool NamespacePair::runSteps(const std::vector<std::vector<std::string>>& steps)
{
    for (const auto& step : steps) {
        if (!runIp(step)) {
            error = "ip";
            for (const std::string& argument : step)
                error += " " + argument;
            error += " failed";
            return false;
        }
    }
    return true;
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
