// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery on a real wire: hosts that ignore broadcast echo requests, as
// Linux and Windows hosts do by default, are still found.
#include "Command.h"
#include "HostFixture.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "engine/MappingWatcher.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

struct Peer {
    const char* address;
    const char* mac;
    const char* macText;
};

// Spread over the subnet, the last one near its end, where a sweep gets last.
const Peer kPeers[] = {
    { "10.67.0.10", "02:00:00:67:00:0a", "02-00-00-67-00-0A" },
    { "10.67.0.100", "02:00:00:67:00:64", "02-00-00-67-00-64" },
    { "10.67.0.250", "02:00:00:67:00:fa", "02-00-00-67-00-FA" },
};

// A host namespace whose bridge br0 (10.67.0.1/24) joins three peer
// namespaces; every peer ignores broadcast echo requests. Removed on destruction.
class BridgedHosts {
public:
    BridgedHosts()
    {
        const std::string stem = "tevra-t-" + std::to_string(getpid()) + "-sweep";
        host_ = stem + "-h";
        run({ "ip", "netns", "add", host_ });
        run({ "ip", "-n", host_, "link", "add", "br0", "type", "bridge" });
        run({ "ip", "-n", host_, "addr", "add", "10.67.0.1/24", "dev", "br0" });
        run({ "ip", "-n", host_, "link", "set", "br0", "up" });
        for (const Peer& peer : kPeers) {
            const std::string name = stem + "-" + std::to_string(peers_.size());
            const std::string port = "port" + std::to_string(peers_.size());
            peers_.push_back(name);
            run({ "ip", "netns", "add", name });
            run({ "ip", "-n", host_, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns",
                name });
            run({ "ip", "-n", host_, "link", "set", port, "master", "br0", "up" });
            run({ "ip", "-n", name, "link", "set", "eth0", "address", peer.mac, "up" });
            run({ "ip", "-n", name, "addr", "add", std::string(peer.address) + "/24", "dev", "eth0" });
            run({ "ip", "netns", "exec", name, "sysctl", "-qw", "net.ipv4.icmp_echo_ignore_broadcasts=1" });
        }
    }
    BridgedHosts(const BridgedHosts&) = delete;
    BridgedHosts& operator=(const BridgedHosts&) = delete;
    ~BridgedHosts()
    {
        for (const std::string& name : peers_)
            runCommand({ "ip", "netns", "del", name });
        runCommand({ "ip", "netns", "del", host_ });
    }

    const std::string& hostName() const { return host_; }
    std::string error;

private:
    void run(const std::vector<std::string>& command)
    {
        if (error.empty() && runCommand(command).status != 0)
            error = command[0] + " " + command[1] + " " + command[2] + "... failed";
    }

    std::string host_;
    std::vector<std::string> peers_;
};

class Discovery : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_EQ(hosts_.error, "");
        ASSERT_TRUE(entry_.ok());
    }

    BridgedHosts hosts_;
    NamespaceEntry entry_ { hosts_.hostName() };
};

TEST_F(Discovery, FindsHostsThatIgnoreBroadcastPingsAndListsNoOneElse)
{
    CMappingWatcher watcher(hostnet::makePlatformIpHelper(), fixedClock(kNow));
    ASSERT_EQ(watcher.discoverByPing(), 0) << actionFailureTexts(watcher);
    // The sweep goes on in the background: its end of the subnet is not asked yet.
    ASSERT_EQ(watcher.refresh(), 0);
    EXPECT_EQ(watcher.findEntry(kPeers[2].address), nullptr);

    // 253 addresses at the sweep's pace, then the last answers.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    std::size_t found = 0;
    while (found < std::size(kPeers) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(250ms);
        ASSERT_EQ(watcher.refresh(), 0);
        found = 0;
        for (const Peer& peer : kPeers)
            found += watcher.findEntry(peer.address) != nullptr ? 1 : 0;
    }
    for (const Peer& peer : kPeers) {
        const MappingEntry* entry = watcher.findEntry(peer.address);
        ASSERT_NE(entry, nullptr) << peer.address;
        EXPECT_EQ(macText(entry->mac.data()), peer.macText);
    }
    // The silent rest of the subnet stays out of the list.
    EXPECT_EQ(watcher.programCache.size(), std::size(kPeers));
}

}  // namespace
}  // namespace tevra::test
