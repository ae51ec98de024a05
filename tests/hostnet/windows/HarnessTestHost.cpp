// SPDX-License-Identifier: GPL-3.0-or-later
// The real table on Windows: a network namespace's, read through Wine's IP
// Helper. A Windows program cannot run `ip`, so the Linux test that runs this
// one (tests/wine) fills the table on request.
#include "HarnessClient.h"
#include "TestHost.h"

#include <algorithm>
#include <sstream>

namespace tevra::test {
namespace {

class HarnessTestHost : public TestHost {
public:
    HarnessTestHost()
    {
        if (askHarness("reset") != "ok")
            setupError_ = "the harness did not empty the namespace's table";
    }

    std::string setupError() const override { return setupError_; }

    bool add(const Neighbour& neighbour) override { return neigh("add", neighbour); }
    bool replace(const Neighbour& neighbour) override { return neigh("replace", neighbour); }
    bool addAddress(const std::string& withPrefix) override
    {
        return askHarness("address " + withPrefix) == "ok";
    }

    std::vector<std::string> listedAddresses() override
    {
        std::istringstream words(askHarness("list"));
        std::string listed;
        words >> listed;
        std::vector<std::string> addresses;
        for (std::string address; words >> address;)
            addresses.push_back(address);
        std::ranges::sort(addresses);
        return addresses;
    }

    std::unique_ptr<hostnet::IpHelper> makeIpHelper() override { return hostnet::makePlatformIpHelper(); }

    // Pings go out only from the host actions, which do not run under Wine.
    int echoRequests(const std::string&, std::chrono::milliseconds) override { return -1; }

    // Wine reads the kernel's /proc/net/arp: an unresolved entry is a dynamic
    // one with six zero bytes, the IGMP and SSDP groups are listed on every
    // interface (the loopback one is 1), and an adapter is described by its name.
    TableShape shape() const override
    {
        return { "00-00-00-00-00-00/6 type 3",
            { "224.0.0.22 -/0 type 4 if 1", "224.0.0.22 -/0 type 4 if 2", "239.255.255.250 -/0 type 4 if 1",
                "239.255.255.250 -/0 type 4 if 2" },
            "veth0" };
    }

private:
    static bool neigh(const char* verb, const Neighbour& neighbour)
    {
        const std::string mac = neighbour.mac.empty() ? "-" : neighbour.mac;
        return askHarness(
                   std::string(verb) + " " + neighbour.address + " " + mac + " " + nudName(neighbour.state))
            == "ok";
    }

    std::string setupError_;
};

}  // namespace

std::string kernelHostUnavailable()
{
    return harnessPresent()
        ? ""
        : "on Windows the real table is a namespace's under Wine, which tests/wine provides";
}

std::unique_ptr<TestHost> makeKernelHost()
{
    return std::make_unique<HarnessTestHost>();
}

}  // namespace tevra::test
