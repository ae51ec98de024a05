// tevra-watch as a user runs it on Linux: the real program, on the real kernel
// table of a network namespace of the test's own.
#include "Command.h"
#include "NamespacePair.h"
#include "RawFrames.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <regex>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

const std::string kWatch = TEVRA_WATCH_PATH;

// --- On the kernel's table ---

class WatchOnKernel : public testing::Test {
protected:
    void SetUp() override
    {
        if (!NamespacePair::available())
            GTEST_SKIP() << "the kernel tests make network namespaces and need root";
        ASSERT_TRUE(namespaces.ok()) << namespaces.error;
    }

    void addNeighbour(const std::string& address, const std::string& mac, const std::string& state)
    {
        std::vector<std::string> arguments { "neigh", "add", address };
        if (!mac.empty())
            arguments.insert(arguments.end(), { "lladdr", mac });
        arguments.insert(arguments.end(), { "dev", "veth0", "nud", state });
        ASSERT_TRUE(namespaces.ipInHost(arguments)) << address;
    }

    NamespacePair namespaces;
};

TEST_F(WatchOnKernel, OnceTablePrintsTheMappingList)
{
    addNeighbour("10.66.1.1", "00:0c:29:11:22:36", "permanent");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.7", "", "incomplete");
    addNeighbour("10.66.0.12", "00:0c:29:11:22:35", "noarp");
    const CommandResult result = runCommand(namespaces.execInHost({ kWatch, "--once", "--table" }));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
        "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t\n"
        "\n"
        "10.66.0.7\t00-00-00-00-00-00\tyes\t-\t-\t117457418\t172097543\tinvalid\t0x2 veth0 (veth)\t\n"
        "10.66.0.11\t00-0C-29-11-22-34\tyes\t-\tVMware, Inc.\t184566282\t172097547\tdynamic\t0x2 veth0 "
        "(veth)\t\n"
        "10.66.1.1\t00-0C-29-11-22-36\tyes\t-\tVMware, Inc.\t16859658\t172097793\tstatic\t0x2 veth0 "
        "(veth)\t\n");
}

// "<serial> - <rest>" of an alert line whose time of day is well formed.
std::string withoutTime(const std::optional<std::string>& line)
{
    static const std::regex alert("(\\d+) - \\d\\d:\\d\\d:\\d\\d: (.*)");
    std::smatch parts;
    if (!line || !std::regex_match(*line, parts, alert))
        return "no alert line: " + line.value_or("(none)");
    return parts[1].str() + " - " + parts[2].str();
}

// --- A mapping changed while tevra-watch runs ---

struct ChangeTrigger {
    const char* name;
    bool (*change)(const NamespacePair& namespaces);
    int stopSignal;
};

void PrintTo(const ChangeTrigger& trigger, std::ostream* os)
{
    *os << trigger.name;
}

constexpr const char* kForgedMac = "02:00:00:00:66:66";

const ChangeTrigger kTriggers[] = {
    { "ip_neigh_replace",
        [](const NamespacePair& namespaces) {
            return namespaces.ipInHost({ "neigh", "replace", NamespacePair::kPeerAddress, "lladdr",
                kForgedMac, "dev", "veth0", "nud", "reachable" });
        },
        SIGTERM },
    // What an attacker on the wire does: an unasked-for reply claiming the peer's address.
    { "forged_arp_reply",
        [](const NamespacePair& namespaces) {
            return sendArpReply(namespaces.peerName(), "veth1", kForgedMac, NamespacePair::kPeerAddress,
                NamespacePair::kHostMac, NamespacePair::kHostAddress);
        },
        SIGINT },
};

class WatchSeesChange : public WatchOnKernel, public testing::WithParamInterface<ChangeTrigger> { };

TEST_P(WatchSeesChange, WithinOnePeriodAndStopsCleanly)
{
    constexpr auto kPeriod = 500ms;
    // The peer's address learnt by real ARP, and a broadcast MAC whose alert
    // shows that tevra-watch has made its first reading.
    ASSERT_EQ(runCommand(namespaces.execInHost({ "ping", "-c", "1", "-W", "2", NamespacePair::kPeerAddress }))
                  .status,
        0);
    // Without the lock time a reply right after the ping's own may replace the entry.
    ASSERT_EQ(
        runCommand(namespaces.execInHost({ "sysctl", "-qw", "net.ipv4.neigh.veth0.locktime=0" })).status, 0);
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", std::to_string(kPeriod.count()) }));
    ASSERT_TRUE(watch.started());
    ASSERT_EQ(withoutTime(watch.readLine(5s)),
        "1 - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");

    const auto changedAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(GetParam().change(namespaces));
    const std::string line = withoutTime(watch.readLine(kPeriod + 2s));
    const auto latency
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - changedAt);
    EXPECT_EQ(line, "2 - Mapping changed: 10.66.0.2 changed from 02-00-00-00-00-02 to 02-00-00-00-66-66");
    RecordProperty("latency_ms", static_cast<int>(latency.count()));
    // One period, with room for a loaded machine's scheduling.
    EXPECT_LE(latency, kPeriod + 300ms);

    watch.signal(GetParam().stopSignal);
    EXPECT_EQ(watch.wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Triggers, WatchSeesChange, testing::ValuesIn(kTriggers),
    [](const auto& info) { return std::string(info.param.name); });

// With a period far longer than the test, only the kernel's notifications can
// bring these lines: a forgery and its restore, made within a millisecond.
TEST_F(WatchOnKernel, FollowsNotificationsBetweenReads)
{
    addNeighbour("10.66.0.5", "00:0c:29:11:22:33", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", "60000" }));
    ASSERT_TRUE(watch.started());
    ASSERT_EQ(withoutTime(watch.readLine(5s)),
        "1 - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");

    const std::string batch = ::testing::TempDir() + "tevra-forgery-" + namespaces.hostName();
    {
        std::FILE* file = std::fopen(batch.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("neigh replace 10.66.0.5 lladdr 02:00:00:00:66:66 dev veth0 nud reachable\n"
                   "neigh replace 10.66.0.5 lladdr 00:0c:29:11:22:33 dev veth0 nud reachable\n",
            file);
        std::fclose(file);
    }
    ASSERT_EQ(runCommand({ "ip", "-n", namespaces.hostName(), "-batch", batch }).status, 0);
    std::remove(batch.c_str());
    EXPECT_EQ(withoutTime(watch.readLine(5s)),
        "2 - Mapping changed: 10.66.0.5 changed from 00-0C-29-11-22-33 to 02-00-00-00-66-66");
    EXPECT_EQ(withoutTime(watch.readLine(5s)),
        "3 - Mapping changed: 10.66.0.5 changed from 02-00-00-00-66-66 to 00-0C-29-11-22-33");
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(), 0);
}

}  // namespace
}  // namespace tevra::test
