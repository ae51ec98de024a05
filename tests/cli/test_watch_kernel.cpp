// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-watch as a user runs it: the real program, on the real kernel table of
// a network namespace of the test's own.
#include "Command.h"
#include "FileText.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "RawFrames.h"
#include "TempFolder.h"
#include "WatchProgram.h"
#include "cli/ConsoleWatch.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

// "<serial> - <rest>" of an alert line whose time of day is well formed.
std::string withoutTime(const std::optional<std::string>& line)
{
    static const std::regex alert("(\\d+) - \\d\\d:\\d\\d:\\d\\d: (.*)");
    std::smatch parts;
    if (!line || !std::regex_match(*line, parts, alert))
        return "no alert line: " + line.value_or("(none)");
    return parts[1].str() + " - " + parts[2].str();
}

// --- On the kernel's table ---

class WatchOnKernel : public NamespacePairTest {
protected:
    void addNeighbour(const std::string& address, const std::string& mac, const std::string& state)
    {
        std::vector<std::string> arguments { "neigh", "add", address };
        if (!mac.empty())
            arguments.insert(arguments.end(), { "lladdr", mac });
        arguments.insert(arguments.end(), { "dev", "veth0", "nud", state });
        ASSERT_TRUE(namespaces.ipInHost(arguments)) << address;
    }
};

// --json and --ignore on the kernel's table; the JSON read back by a parser.
TEST_F(WatchOnKernel, JsonLinesForAlertsAndTable)
{
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    const CommandResult alerts = runCommand(namespaces.execInHost({ kWatch, "--once", "--json" }));
    ASSERT_EQ(alerts.status, 0) << alerts.err;
    ASSERT_TRUE(alerts.out.ends_with("\n"));
    const nlohmann::json alert = nlohmann::json::parse(alerts.out);
    EXPECT_EQ(alert["kind"], "broadcast-mac");
    EXPECT_EQ(alert["address"], "10.66.0.99");
    EXPECT_EQ(alert["interface"], "veth0 (veth)");
    EXPECT_EQ(withoutTime(alert["text"].get<std::string>()),
        alert["serial"].dump() + " - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");

    const CommandResult table = runCommand(
        namespaces.execInHost({ kWatch, "--once", "--table", "--json", "--ignore", "FF:FF:FF:FF:FF:FF" }));
    ASSERT_EQ(table.status, 0) << table.err;
    std::istringstream lines(table.out);
    std::vector<std::string> addresses;
    for (std::string line; std::getline(lines, line);)
        addresses.push_back(nlohmann::json::parse(line)["address"]);
    // The ignored alert is not printed; its mapping is still in the table.
    EXPECT_EQ(addresses, (std::vector<std::string> { "10.66.0.11", "10.66.0.99" }));
}

// The learned table survives a restart of the real program.
TEST_F(WatchOnKernel, StateFileReportsAChangeWhileStopped)
{
    const std::string state = "/tmp/tevra-kernel-state-" + std::to_string(getpid());
    std::remove(state.c_str());
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "permanent");
    const auto once = [&] {
        return runCommand(namespaces.execInHost({ kWatch, "--once", "--state", state }));
    };
    const CommandResult first = once();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "");
    ASSERT_TRUE(namespaces.ipInHost({ "neigh", "replace", "10.66.0.11", "lladdr", "00:0c:29:44:55:66", "dev",
        "veth0", "nud", "permanent" }));
    const CommandResult second = once();
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(withoutTime(second.out.substr(0, second.out.find('\n'))),
        "1 - Mapping changed: 10.66.0.11 changed from 00-0C-29-11-22-34 to 00-0C-29-44-55-66");
    const CommandResult third = once();
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(third.out, "");
    std::remove(state.c_str());
}

// Started in a terminal, the watcher says once what it watches and how to
// stop it; on a pipe it says nothing.
TEST_F(WatchOnKernel, TellsATerminalWhatItWatches)
{
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "permanent");
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    const pid_t pid
        = spawnWithOutput(namespaces.execInHost({ kWatch, "--interval", "200" }), terminal, terminal);
    ASSERT_GT(pid, 0);
    close(terminal);

    // Everything it writes in a second: several periods, one message.
    std::string screen;
    const auto end = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < end) {
        pollfd ready { master, POLLIN, 0 };
        if (poll(&ready, 1, 50) == 1) {
            char buffer[1024];
            const ssize_t length = read(master, buffer, sizeof buffer);
            if (length > 0)
                screen.append(buffer, std::size_t(length));
        }
    }
    kill(pid, SIGTERM);
    const int status = waitForExit(pid);
    close(master);
    std::erase(screen, '\r');
    EXPECT_EQ(screen,
        "tevra-watch: watching 1 ARP entry on 1 interface: veth0 (veth).\n"
        "tevra-watch: changes are followed as the kernel announces them, and the whole table is compared "
        "every 60 s. Alerts are printed as they come; press Ctrl+C to stop.\n");
    EXPECT_EQ(status, 0);

    // On a pipe: nothing but alerts, and here there are none.
    const CommandResult piped
        = runCommand(namespaces.execInHost({ "timeout", "-s", "TERM", "0.6", kWatch, "--interval", "200" }));
    EXPECT_EQ(piped.status, 124) << "stopped by timeout's SIGTERM";
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err, "");
}

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

// The vendor column from the lists TEVRA_IEEE_DATA names, over the compiled-in
// copy for the lists it lacks, and the label of a locally administered MAC.
TEST_F(WatchOnKernel, OnceTableNamesVendorsFromTheListsOfTevraIeeeData)
{
    const TempFolder lists;
    ASSERT_TRUE(lists.ok());
    lists.write("mam.csv",
        "Registry,Assignment,Organization Name,Organization Address\r\n"
        "MA-M,000C291,\"Sub, Block\",\"1 Main St,\nTown\"\r\n");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.12", "00:0c:29:21:22:35", "reachable");
    addNeighbour("10.66.0.13", "52:54:00:12:34:56", "reachable");
    const CommandResult result = runCommand(
        namespaces.execInHost({ "env", "TEVRA_IEEE_DATA=" + lists.path(), kWatch, "--once", "--table" }));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
        "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order IP\ttype\tadapter\t\n"
        "\n"
        "10.66.0.11\t00-0C-29-11-22-34\tyes\t-\tSub, Block\t184566282\t172097547\tdynamic\t0x2 veth0 "
        "(veth)\t\n"
        "10.66.0.12\t00-0C-29-21-22-35\tyes\t-\tVMware, Inc.\t201343498\t172097548\tdynamic\t0x2 veth0 "
        "(veth)\t\n"
        "10.66.0.13\t52-54-00-12-34-56\tyes\t-\tlocally administered\t218120714\t172097549\tdynamic\t0x2 "
        "veth0 (veth)\t\n");
}

// An interface name may hold control bytes; a terminal must get them escaped,
// never an ESC sequence that retitles or rewrites it.
TEST_F(WatchOnKernel, ControlBytesOfInterfaceNamesAreEscaped)
{
    const std::string name = "e\x1b]0;x";
    ASSERT_TRUE(namespaces.ipInHost({ "link", "add", name, "type", "veth", "peer", "name", "esc-peer" }));
    ASSERT_TRUE(namespaces.ipInHost({ "link", "set", name, "up" }));
    ASSERT_TRUE(namespaces.ipInHost(
        { "neigh", "add", "10.77.0.1", "lladdr", "00:0c:29:11:22:34", "dev", name, "nud", "permanent" }));
    const CommandResult table = runCommand(namespaces.execInHost({ kWatch, "--once", "--table" }));
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
    EXPECT_NE(table.out.find("e\\x1b]0;x"), std::string::npos) << table.out;
}

// A FIFO planted as a vendor list would hold the reading of the lists for
// ever; it is passed over like a missing list, and the compiled-in copy used.
TEST_F(WatchOnKernel, AFifoAsAVendorListIsPassedOver)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    ASSERT_EQ(mkfifo(folder.file("oui.csv").c_str(), 0600), 0);
    addNeighbour("10.66.0.12", "00:0c:29:21:22:35", "reachable");
    const CommandResult table = runCommand(namespaces.execInHost(
        { "env", "TEVRA_IEEE_DATA=" + folder.path(), "timeout", "10", kWatch, "--once", "--table" }));
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("10.66.0.12\t00-0C-29-21-22-35\tyes\t-\tVMware, Inc."), std::string::npos)
        << table.out;
}

// A TEVRA_IEEE_DATA that gives no list is said once; one that gives some is not.
TEST_F(WatchOnKernel, AnUnusableTevraIeeeDataIsSaid)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    folder.write("oui.csv", "not a list\n");
    folder.write(
        "mam.csv", "Registry,Assignment,Organization Name,Organization Address\r\nMA-M,000C291,Sub,x\r\n");
    addNeighbour("10.66.0.12", "00:0c:29:21:22:35", "reachable");
    const std::pair<std::string, std::string> cases[] = {
        { "/nonexistent",
            "tevra-watch: TEVRA_IEEE_DATA names /nonexistent, where no vendor list could be read; the "
            "compiled-in lists are used\n" },
        { folder.file("oui.csv"),
            "tevra-watch: TEVRA_IEEE_DATA names " + folder.file("oui.csv")
                + ", where no vendor list could be read; the compiled-in lists are used\n" },
        { folder.path(), "" },
    };
    for (const auto& [value, said] : cases) {
        const CommandResult result = runCommand(namespaces.execInHost(
            { "env", "TEVRA_IEEE_DATA=" + value, kWatch, "--interval", "100", "--once" }));
        EXPECT_EQ(result.status, 0) << value;
        EXPECT_EQ(result.err, said) << value;
    }
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

// Each way a user or a service manager stops the watcher saves what it
// learned and ends with status 0; a hang-up used to kill it unsaved.
TEST_F(WatchOnKernel, EveryStopSignalSavesTheStateAndEndsCleanly)
{
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    for (const int stopSignal : { SIGINT, SIGTERM, SIGHUP }) {
        const TempFolder folder;
        ASSERT_TRUE(folder.ok());
        const std::string state = folder.file("state");
        RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", "60000", "--state", state }));
        ASSERT_TRUE(watch.started());
        ASSERT_TRUE(watch.readLine(5s)) << stopSignal;
        // A change learned just before the stop: the saves before it cannot
        // hold it, and whichever save comes after must.
        ASSERT_TRUE(namespaces.ipInHost({ "neigh", "replace", "10.66.0.11", "lladdr", "00:0c:29:11:22:35",
            "dev", "veth0", "nud", "reachable" }));
        ASSERT_TRUE(watch.readLine(5s)) << stopSignal;
        watch.signal(stopSignal);
        EXPECT_EQ(watch.wait(), 0) << stopSignal;
        EXPECT_NE(fileText(state).find("10.66.0.11\t00-0C-29-11-22-35"), std::string::npos) << stopSignal;
        ASSERT_TRUE(namespaces.ipInHost({ "neigh", "replace", "10.66.0.11", "lladdr", "00:0c:29:11:22:34",
            "dev", "veth0", "nud", "reachable" }));
    }
}

// Two watchers on one state file would overwrite each other's learning: the
// second says which process holds it and ends with status 1.
TEST_F(WatchOnKernel, ASecondWatcherOnOneStateFileIsRefused)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string state = folder.file("state");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram first(namespaces.execInHost({ kWatch, "--interval", "60000", "--state", state }));
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(first.readLine(5s));
    const CommandResult second = runCommand(namespaces.execInHost({ kWatch, "--once", "--state", state }));
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(
        std::regex_match(second.err, std::regex("tevra-watch: .*/state is in use by process [0-9]+\n")))
        << second.err;
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
    // Once the first has gone, the file is free again.
    EXPECT_EQ(runCommand(namespaces.execInHost({ kWatch, "--once", "--state", state })).status, 0);
}

// --ignore for VRRP must not hide a host taking a MAC of the ignored range:
// only moves within the range (the virtual address between its routers) are quiet.
TEST_F(WatchOnKernel, IgnoredMacRangeCannotHideAHijack)
{
    addNeighbour("10.66.0.9", "00:0c:29:aa:bb:09", "reachable");
    addNeighbour("10.66.0.254", "00:00:5e:00:01:07", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(
        namespaces.execInHost({ kWatch, "--interval", "60000", "--ignore", "00-00-5E-00-01" }));
    ASSERT_TRUE(watch.started());
    ASSERT_EQ(withoutTime(watch.readLine(5s)),
        "1 - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");
    const auto replace = [&](const char* address, const char* mac) {
        return namespaces.ipInHost(
            { "neigh", "replace", address, "lladdr", mac, "dev", "veth0", "nud", "reachable" });
    };
    ASSERT_TRUE(replace("10.66.0.254", "00:00:5e:00:01:08"));
    ASSERT_TRUE(replace("10.66.0.9", "00:00:5e:00:01:99"));
    EXPECT_EQ(withoutTime(watch.readLine(5s)),
        "3 - Mapping changed: 10.66.0.9 changed from 00-0C-29-AA-BB-09 to 00-00-5E-00-01-99");
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(), 0);
}

// Waits up to 10 s for `text` to appear in the file at `path`.
bool waitForText(const std::string& path, const std::string& text)
{
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
        if (fileText(path).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// tevra-watch without CAP_NET_ADMIN, as under the shipped unit: its socket's
// buffer is then the system's limit (net.core.rmem_max), which a flood
// overruns while the watcher is stopped (SIGSTOP). Its output and errors go
// to files of `folder`; it is left running, made to go on after the flood.
class OverrunWatch {
public:
    OverrunWatch(const NamespacePair& namespaces, const TempFolder& folder, const std::string& environment,
        const std::vector<std::string>& options)
        : out(folder.file("out"))
        , err(folder.file("err"))
    {
        std::string changes;
        // Within the kernel's default limit of 1,024 neighbours: 500 addresses, each
        // changed 40 times, more than the largest buffer a system gives (a few MiB).
        for (int i = 0; i < 20000; ++i)
            changes += "neigh replace 10.66." + std::to_string(1 + i % 500 / 250) + "."
                + std::to_string(1 + i % 250) + " lladdr 02:00:00:00:01:" + std::to_string(10 + i / 500)
                + " dev veth0 nud reachable\n";
        folder.write("changes", changes);
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::vector<std::string> command { "env", environment, "setpriv", "--inh-caps=-net_admin",
            "--bounding-set=-net_admin", kWatch, "--interval", "60000" };
        command.insert(command.end(), options.begin(), options.end());
        pid = spawnWithOutput(namespaces.execInHost(command), outFd, errFd);
        close(outFd);
        close(errFd);
        if (pid <= 0 || !waitForText(out, "Broadcast MAC assigned"))
            return;
        kill(pid, SIGSTOP);
        flooded
            = runCommand({ "ip", "-n", namespaces.hostName(), "-batch", folder.file("changes") }).status == 0;
        kill(pid, SIGCONT);
    }
    OverrunWatch(const OverrunWatch&) = delete;
    OverrunWatch& operator=(const OverrunWatch&) = delete;
    ~OverrunWatch()
    {
        if (pid > 0 && !stopped) {
            kill(pid, SIGKILL);
            waitForExit(pid);
        }
    }
    int stop()
    {
        stopped = true;
        kill(pid, SIGTERM);
        return waitForExit(pid);
    }

    std::string out;
    std::string err;
    pid_t pid = -1;
    bool flooded = false;
    bool stopped = false;
};

// Notifications the kernel dropped while the watcher could not read them: with
// TEVRA_TRACE=netlink the loss and the whole read that made up for it are said
// as they happen, and at the end how many there were.
TEST_F(WatchOnKernel, TraceSaysLostNotificationsAndTheEndCountsThem)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    OverrunWatch watch(namespaces, folder, "TEVRA_TRACE=netlink", {});
    ASSERT_TRUE(watch.flooded) << fileText(watch.err);
    EXPECT_TRUE(waitForText(watch.err, "tevra trace: netlink: table read again (resync 1)"))
        << fileText(watch.err);
    EXPECT_EQ(watch.stop(), 0);

    const std::string said = fileText(watch.err);
    EXPECT_NE(said.find("tevra trace: netlink: notifications lost (overrun 1); reading the table again\n"),
        std::string::npos)
        << said;
    EXPECT_TRUE(std::regex_search(said,
        std::regex("tevra-watch: the kernel's notifications overran [1-9][0-9]* times; the table was read "
                   "again [1-9][0-9]* times to make up for it; 0 notifications could not be read")))
        << said;
}

// Without any trace, an overrun is said as it happens: on standard error,
// and with --json as a line of kind "notifications-lost" among the alerts.
TEST_F(WatchOnKernel, AnOverrunIsSaidAsItHappens)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    OverrunWatch watch(namespaces, folder, "TEVRA_TRACE=", {});
    ASSERT_TRUE(watch.flooded) << fileText(watch.err);
    EXPECT_TRUE(waitForText(watch.err,
        "tevra-watch: the kernel's change notifications were lost (1 overrun): "
        "changes between two readings may be missing; the table was read again\n"))
        << fileText(watch.err);
    EXPECT_EQ(watch.stop(), 0);

    const TempFolder jsonFolder;
    ASSERT_TRUE(jsonFolder.ok());
    OverrunWatch json(namespaces, jsonFolder, "TEVRA_TRACE=", { "--json" });
    ASSERT_TRUE(json.flooded);
    EXPECT_TRUE(waitForText(json.out, "\"kind\":\"notifications-lost\"")) << fileText(json.out);
    EXPECT_EQ(json.stop(), 0);
    std::istringstream lines(fileText(json.out));
    bool found = false;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        if (object["kind"] == "notifications-lost") {
            found = true;
            EXPECT_GE(object["count"].get<int>(), 1);
            EXPECT_TRUE(object["time"].is_string());
        }
    }
    EXPECT_TRUE(found);
}

// Output held up by a reader that does not read (a pipe into a pager left
// alone) must not hold up the reading of the kernel's notifications. Without
// CAP_NET_ADMIN, as under the unit, the socket holds net.core.rmem_max of
// them (the kernel doubles it and charges about 800 bytes a notification);
// the flood is three times that. The watcher's own queue holds them all, so
// once the reader is back every change is there, the last one of each
// address is the kernel's, and nothing was lost or read again.
TEST_F(WatchOnKernel, AStalledOutputDoesNotStopTheReadingOfNotifications)
{
    constexpr int kAddresses = 500;
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const long rmemMax = std::atol(fileText("/proc/sys/net/core/rmem_max").c_str());
    const int changes = std::max(20000, int(6 * rmemMax / 800) / kAddresses * kAddresses);
    const auto addressOf = [](int i) {
        return "10.66." + std::to_string(1 + i % kAddresses / 250) + "." + std::to_string(1 + i % 250);
    };
    // The i-th change's MAC; the addresses start with round 0.
    const auto macOf = [](int round) {
        char text[18];
        std::snprintf(text, sizeof text, "02:00:00:00:%02x:%02x", round >> 8 & 255, round & 255);
        return std::string(text);
    };
    std::string start;
    std::string flood;
    for (int i = 0; i < kAddresses; ++i)
        start += "neigh add " + addressOf(i) + " lladdr " + macOf(0) + " dev veth0 nud permanent\n";
    for (int i = 0; i < changes; ++i)
        flood += "neigh replace " + addressOf(i) + " lladdr " + macOf(1 + i / kAddresses)
            + " dev veth0 nud permanent\n";
    folder.write("start", start);
    folder.write("flood", flood);
    ASSERT_EQ(runCommand({ "ip", "-n", namespaces.hostName(), "-batch", folder.file("start") }).status, 0);
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");

    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const std::string err = folder.file("err");
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = spawnWithOutput(
        namespaces.execInHost({ "env", "TEVRA_TRACE=netlink", "setpriv", "--inh-caps=-net_admin",
            "--bounding-set=-net_admin", kWatch, "--interval", "60000" }),
        pipeFds[1], errFd);
    close(pipeFds[1]);
    close(errFd);
    ASSERT_GT(pid, 0);
    std::string pending;
    std::map<std::string, std::string> lastMac;
    int changed = 0;
    bool broadcast = false;
    // Reads what the watcher wrote, until `done` or for `timeout` at most.
    const auto readUntil = [&](auto done, std::chrono::milliseconds timeout) {
        char buffer[65536];
        for (const auto end = std::chrono::steady_clock::now() + timeout;
             !done() && std::chrono::steady_clock::now() < end;) {
            pollfd wait { pipeFds[0], POLLIN, 0 };
            if (poll(&wait, 1, 100) <= 0)
                continue;
            const ssize_t length = read(pipeFds[0], buffer, sizeof buffer);
            if (length <= 0)
                break;
            pending.append(buffer, std::size_t(length));
            for (std::size_t newline; (newline = pending.find('\n')) != std::string::npos;) {
                static const std::regex alert(".*Mapping changed: ([0-9.]+) changed from \\S+ to (\\S+)");
                std::smatch parts;
                const std::string line = pending.substr(0, newline);
                if (std::regex_match(line, parts, alert)) {
                    ++changed;
                    lastMac[parts[1].str()] = parts[2].str();
                }
                broadcast = broadcast || line.find("Broadcast MAC assigned") != std::string::npos;
                pending.erase(0, newline + 1);
            }
        }
    };
    readUntil([&] { return broadcast; }, 5s);
    ASSERT_TRUE(broadcast) << fileText(err);

    // The flood, and a while after it, with nobody reading the output.
    ASSERT_EQ(runCommand({ "ip", "-n", namespaces.hostName(), "-batch", folder.file("flood") }).status, 0);
    std::this_thread::sleep_for(1s);
    readUntil([&] { return changed >= changes; }, 40s);
    kill(pid, SIGTERM);
    EXPECT_EQ(waitForExit(pid), 0);
    close(pipeFds[0]);

    EXPECT_EQ(changed, changes);
    ASSERT_EQ(lastMac.size(), std::size_t(kAddresses));
    for (int i = changes - kAddresses; i < changes; ++i) {
        std::string expected = macOf(1 + i / kAddresses);
        std::ranges::replace(expected, ':', '-');
        std::ranges::transform(expected, expected.begin(), [](char c) { return char(std::toupper(c)); });
        EXPECT_EQ(lastMac[addressOf(i)], expected) << addressOf(i);
    }
    const std::string said = fileText(err);
    EXPECT_EQ(said.find("notifications lost"), std::string::npos) << said;
    EXPECT_EQ(said.find("table read again"), std::string::npos) << said;
    EXPECT_EQ(said.find("overran"), std::string::npos) << said;
}

// Addresses someone else asked for that never answered map nothing: they are
// not saved, and are forgotten once the kernel lets them go.
TEST_F(WatchOnKernel, NeverResolvedAddressesAreNotSaved)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string state = folder.file("state");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", "200", "--state", state }));
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.readLine(5s));
    // Another program's sweep: silent addresses, left unresolved in the table.
    for (const char* silent : { "10.66.0.50", "10.66.0.51" })
        EXPECT_EQ(runCommand(namespaces.execInHost({ "ping", "-c", "1", "-W", "1", silent })).status, 1);
    addNeighbour("10.66.0.52", "", "incomplete");
    ASSERT_TRUE(namespaces.ipInHost({ "neigh", "del", "10.66.0.52", "dev", "veth0" }));
    std::this_thread::sleep_for(500ms);
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(), 0);
    const std::string saved = fileText(state);
    EXPECT_NE(saved.find("10.66.0.11\t00-0C-29-11-22-34\t"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\t-\t"), std::string::npos) << saved;
}

// A neighbour made permanent with the same MAC: the kept type follows the kernel.
TEST_F(WatchOnKernel, TypeFollowsTheKernelWithTheSameMac)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string state = folder.file("state");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", "60000", "--state", state }));
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.readLine(5s));
    ASSERT_TRUE(namespaces.ipInHost({ "neigh", "replace", "10.66.0.11", "lladdr", "00:0c:29:11:22:34", "dev",
        "veth0", "nud", "permanent" }));
    std::this_thread::sleep_for(300ms);
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(), 0);
    EXPECT_NE(fileText(state).find("10.66.0.11\t00-0C-29-11-22-34\tveth0 (veth)\t4\t"), std::string::npos)
        << fileText(state);
}

// A change just after a save is written within a second, even when nothing
// else wakes the watcher for a minute.
TEST_F(WatchOnKernel, StateFollowsAChangeWithinASecondWhenIdle)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string state = folder.file("state");
    addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "reachable");
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    RunningProgram watch(namespaces.execInHost({ kWatch, "--interval", "60000", "--state", state }));
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.readLine(5s));
    const auto replace = [&](const char* mac) {
        return namespaces.ipInHost(
            { "neigh", "replace", "10.66.0.11", "lladdr", mac, "dev", "veth0", "nud", "reachable" });
    };
    ASSERT_TRUE(replace("00:0c:29:44:55:66"));
    ASSERT_TRUE(watch.readLine(5s));
    ASSERT_TRUE(replace("00:0c:29:77:88:99"));
    ASSERT_TRUE(watch.readLine(5s));
    const auto changed = std::chrono::steady_clock::now();
    bool saved = false;
    while (!saved && std::chrono::steady_clock::now() < changed + 1500ms) {
        saved = fileText(state).find("10.66.0.11\t00-0C-29-77-88-99\t") != std::string::npos;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(saved) << fileText(state);
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(), 0);
}

// ARP requests from made-up senders on the attacker's side of the wire, in
// waves the kernel forgets between them (as its garbage collection does under
// a flood): the learned table stays within --max-addresses, and that it is
// full is said once, not per address.
TEST_F(WatchOnKernel, RandomSenderFloodStaysWithinTheAddressCap)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string state = folder.file("state");
    // A /16 beside the /24, so that thousands of senders are on the link.
    ASSERT_TRUE(namespaces.ipInHost({ "addr", "add", "10.67.0.1/16", "dev", "veth0" }));
    addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
    const std::string err = folder.file("err");
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(errFd, 0);
    const int outFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t watch = spawnWithOutput(
        namespaces.execInHost({ kWatch, "--interval", "200", "--state", state, "--max-addresses", "100" }),
        outFd, errFd);
    close(outFd);
    close(errFd);
    ASSERT_GT(watch, 0);
    std::this_thread::sleep_for(500ms);
    constexpr int kWaves = 8;
    constexpr int kPerWave = 60;
    for (int wave = 0; wave < kWaves; ++wave) {
        std::vector<ArpSender> senders;
        for (int i = 0; i < kPerWave; ++i) {
            const int n = wave * kPerWave + i + 2;
            char mac[18];
            std::snprintf(mac, sizeof mac, "02:66:00:00:%02x:%02x", n >> 8, n & 0xFF);
            senders.push_back({ mac, "10.67." + std::to_string(n >> 8) + "." + std::to_string(n & 0xFF) });
        }
        ASSERT_TRUE(sendArpRequests(namespaces.peerName(), "veth1", senders, "10.67.0.1"));
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(namespaces.ipInHost({ "neigh", "flush", "to", "10.67.0.0/16" }));
        std::this_thread::sleep_for(300ms);
    }
    std::this_thread::sleep_for(1500ms);
    kill(watch, SIGTERM);
    EXPECT_EQ(waitForExit(watch), 0);
    const std::string saved = fileText(state);
    const auto lines = std::count(saved.begin(), saved.end(), '\n');
    EXPECT_LE(lines, 1 + 100) << saved;
    EXPECT_GE(lines, 1 + 50) << "the last wave at least";
    const std::string said = fileText(err);
    EXPECT_EQ(countOf(said, "tevra-watch: the learned table is full (100 addresses): "), 1u) << said;
}

// Hooks that never end, and ignore SIGTERM too: each is asked to stop after
// --exec-timeout and killed 5 s later, and the alerts skipped meanwhile are
// said while the hooks still hang, not only once the queue has drained.
TEST_F(WatchOnKernel, HungHooksAreStoppedAndSkippedAlertsSaid)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string hook = folder.file("hook");
    folder.write("hook",
        "#!/bin/sh\n"
        "d=\"${0%/*}\"\n"
        "echo $$ >> \"$d/started\"\n"
        "trap 'echo $$ >> \"$d/asked\"' TERM\n"
        "while :; do sleep 0.1; done\n");
    ASSERT_EQ(chmod(hook.c_str(), 0700), 0);
    std::string batch;
    for (int i = 1; i <= 80; ++i)
        batch += "neigh add 10.66.0." + std::to_string(100 + i)
            + " lladdr ff:ff:ff:ff:ff:ff dev veth0 nud permanent\n";
    folder.write("batch", batch);
    ASSERT_EQ(runCommand({ "ip", "-n", namespaces.hostName(), "-batch", folder.file("batch") }).status, 0);
    const std::string err = folder.file("err");
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(errFd, 0);
    const int outFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto started = std::chrono::steady_clock::now();
    const pid_t watch = spawnWithOutput(
        namespaces.execInHost({ kWatch, "--interval", "60000", "--exec", hook, "--exec-timeout", "2" }),
        outFd, errFd);
    close(outFd);
    close(errFd);
    ASSERT_GT(watch, 0);
    const auto waitFor = [&](const std::string& text) {
        for (auto end = started + 15s; std::chrono::steady_clock::now() < end;) {
            if (fileText(err).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    };
    // 4 running, 64 waiting, 12 skipped; said after 10 s though nothing has drained.
    EXPECT_TRUE(
        waitFor("tevra-watch: 12 alerts did not run " + hook + ": 4 were running and 64 waiting already\n"))
        << fileText(err);
    const auto saidAfter = std::chrono::steady_clock::now() - started;
    EXPECT_GE(saidAfter, 9s);
    EXPECT_TRUE(waitFor("tevra-watch: " + hook + " did not stop within 5 s: killed\n")) << fileText(err);
    kill(watch, SIGTERM);
    EXPECT_EQ(waitForExit(watch), 0);

    const std::string said = fileText(err);
    EXPECT_GE(countOf(said, "tevra-watch: " + hook + " has run for 2 s: stopping it\n"), 4u) << said;
    // The first four were asked, and having refused, were killed.
    std::istringstream asked(fileText(folder.file("asked")));
    std::istringstream startedPids(fileText(folder.file("started")));
    std::vector<std::string> first;
    for (std::string pid; first.size() < 4 && std::getline(startedPids, pid);)
        first.push_back(pid);
    for (std::string pid; std::getline(asked, pid);)
        std::erase(first, pid);
    EXPECT_TRUE(first.empty()) << "not asked to stop: " << first.size();
    // The later ones are left running at the stop, as every hook is.
    std::istringstream all(fileText(folder.file("started")));
    for (std::string pid; std::getline(all, pid);)
        kill(std::stoi(pid), SIGKILL);
}

// --- The output checked: a lost alert is said, a reader that left ends it quietly ---

struct OutputCase {
    const char* name;
    std::vector<std::string> arguments;
};

void PrintTo(const OutputCase& c, std::ostream* os)
{
    *os << c.name;
}

const OutputCase kOutputCases[] = {
    { "once_alert", { "--once" } },
    // The table is written after the alerts, so a full disk can refuse it alone.
    { "once_table", { "--once", "--table" } },
    { "watching", { "--interval", "100" } },
};

class WatchOutput : public WatchOnKernel, public testing::WithParamInterface<OutputCase> {
protected:
    std::vector<std::string> command(bool withAlert)
    {
        if (withAlert)
            addNeighbour("10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent");
        else
            addNeighbour("10.66.0.11", "00:0c:29:11:22:34", "permanent");
        std::vector<std::string> arguments { "timeout", "10", kWatch };
        arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
        return namespaces.execInHost(arguments);
    }
};

TEST_P(WatchOutput, FullDiskEndsWithStatusOneAndTheReason)
{
    // Without --table the alert is what must get out; with it, the table.
    std::vector<std::string> shell { "sh", "-c", "exec \"$@\" > /dev/full", "sh" };
    const std::vector<std::string> watch = command(GetParam().arguments.back() != "--table");
    shell.insert(shell.end(), watch.begin(), watch.end());
    const CommandResult result = runCommand(shell);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tevra-watch: cannot write the output: No space left on device\n");
}

// Standard output a pipe whose reader has exited, as `tevra-watch | head -1`
// leaves it once head is done; the status and what came on standard error.
CommandResult runIntoClosedPipe(const std::vector<std::string>& arguments)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return {};
    const pid_t reader = fork();
    if (reader == 0)
        _exit(0);
    waitpid(reader, nullptr, 0);
    close(out[0]);
    const pid_t pid = spawnWithOutput(arguments, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    CommandResult result;
    char buffer[1024];
    for (ssize_t length; (length = read(err[0], buffer, sizeof buffer)) > 0;)
        result.err.append(buffer, std::size_t(length));
    close(err[0]);
    if (pid > 0)
        result.status = waitForExit(pid);
    return result;
}

TEST_P(WatchOutput, ClosedPipeEndsItQuietly)
{
    const CommandResult result = runIntoClosedPipe(command(true));
    EXPECT_EQ(result.status, 0) << "141: killed by SIGPIPE, 124: still watching";
    EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, WatchOutput, testing::ValuesIn(kOutputCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- --discover: a peer that ignores broadcast echo requests is found before the one reading ---

TEST_F(WatchOnKernel, DiscoverOnceFindsAPeerThatIgnoresBroadcastPings)
{
    ASSERT_EQ(runCommand({ "ip", "netns", "exec", namespaces.peerName(), "sysctl", "-qw",
                             "net.ipv4.icmp_echo_ignore_broadcasts=1" })
                  .status,
        0);
    // High in the /24, so that the sweep reaches it only after 2.4 s.
    ASSERT_TRUE(namespaces.ipInPeer({ "addr", "add", "10.66.0.250/24", "dev", "veth1" }));
    const auto table = [&](std::vector<std::string> options) {
        std::vector<std::string> arguments { kWatch, "--once", "--table" };
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runCommand(namespaces.execInHost(arguments));
    };
    const std::string peerRow = std::string("\n") + NamespacePair::kPeerAddress + "\t02-00-00-00-00-02\t";
    const std::string highRow = "\n10.66.0.250\t02-00-00-00-00-02\t";
    const CommandResult plain = table({});
    EXPECT_EQ(plain.out.find(peerRow), std::string::npos) << plain.out;
    const CommandResult discovered = table({ "--discover" });
    EXPECT_EQ(discovered.status, 0) << discovered.err;
    EXPECT_NE(discovered.out.find(peerRow), std::string::npos) << discovered.out;
    EXPECT_NE(discovered.out.find(highRow), std::string::npos) << discovered.out;
    // The silent rest of the subnet is not listed.
    EXPECT_EQ(std::count(discovered.out.begin(), discovered.out.end(), '\n'), 4) << discovered.out;
    // The sweep of a /24 takes longer than 2 s, and the wait is said.
    EXPECT_EQ(discovered.err,
        "tevra-watch: discovery: waiting for the sweep of the subnet to end (at most 30 s)\n");
}

}  // namespace
}  // namespace tevra::test
