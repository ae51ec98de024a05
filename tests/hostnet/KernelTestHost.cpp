// SPDX-License-Identifier: GPL-3.0-or-later
// The real kernel's neighbour table, in a network namespace of the test's own.
#include "TestHost.h"

#include "Command.h"
#include "NamespacePair.h"
#include "RawFrames.h"

#include <net/if.h>

#include <algorithm>
#include <sstream>

namespace tevra::test {
namespace {

class KernelTestHost : public TestHost {
public:
    KernelTestHost()
        // Listening from the start, so no echo request sent during the test is missed.
        : echoCounter_(namespaces_.peerName(), "veth1")
        , entry_(namespaces_.hostName())
    {
        if (!namespaces_.ok())
            setupError_ = namespaces_.error;
        else if (!entry_.ok() || !echoCounter_.ok())
            setupError_ = "cannot enter the test namespaces";
        else if (if_nametoindex("veth0") != kInterface)
            setupError_ = "veth0 is not interface 2 of its namespace";
    }

    std::string setupError() const override { return setupError_; }

    bool add(const Neighbour& neighbour) override { return neigh("add", neighbour); }
    bool replace(const Neighbour& neighbour) override { return neigh("replace", neighbour); }

    bool addAddress(const std::string& withPrefix) override
    {
        return namespaces_.ipInHost({ "addr", "add", withPrefix, "dev", "veth0" });
    }

    std::vector<std::string> listedAddresses() override
    {
        const CommandResult listing
            = runCommand({ "ip", "-n", namespaces_.hostName(), "-4", "neigh", "show" });
        std::vector<std::string> listed;
        std::istringstream lines(listing.out);
        for (std::string line; std::getline(lines, line);)
            listed.push_back(line.substr(0, line.find(' ')));
        std::ranges::sort(listed);
        return listed;
    }

    std::unique_ptr<hostnet::IpHelper> makeIpHelper() override { return hostnet::makePlatformIpHelper(); }

    int echoRequests(const std::string& target, std::chrono::milliseconds window) override
    {
        return echoCounter_.count(target, window);
    }

private:
    bool neigh(const char* verb, const Neighbour& neighbour)
    {
        std::vector<std::string> arguments { "neigh", verb, neighbour.address };
        if (!neighbour.mac.empty())
            arguments.insert(arguments.end(), { "lladdr", neighbour.mac });
        arguments.insert(arguments.end(), { "dev", "veth0", "nud", nudName(neighbour.state) });
        return namespaces_.ipInHost(arguments);
    }

    NamespacePair namespaces_;
    EchoRequestCounter echoCounter_;
    NamespaceEntry entry_;
    std::string setupError_;
};

}  // namespace

std::string kernelHostUnavailable()
{
    return NamespacePair::available() ? "" : "the kernel tests make network namespaces and need root";
}

std::unique_ptr<TestHost> makeKernelHost()
{
    return std::make_unique<KernelTestHost>();
}

}  // namespace tevra::test
