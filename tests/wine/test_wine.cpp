// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows build under Wine, inside a network namespace of the test's own:
// the engine, console and host tests built for Windows, tevra-watch.exe and
// tevra-arp-helper.exe beside their Linux builds on the same table, and the
// ZIP and the installer.
#include "Command.h"
#include "FileText.h"
#include "HarnessProtocol.h"
#include "HelperArgumentLists.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "WineSession.h"
#include "engine/Version.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

// One namespace pair and one Wine session for the whole run: making a prefix
// takes Wine many seconds, and its server cannot change namespace.
class WineEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        if (!NamespacePair::available())
            return;
        namespaces = std::make_unique<NamespacePair>();
        if (namespaces->ok())
            session = std::make_unique<WineSession>(namespaces->hostName(), TEVRA_WINDOWS_BUILD);
    }

    void TearDown() override
    {
        session.reset();
        namespaces.reset();
    }

    std::unique_ptr<NamespacePair> namespaces;
    std::unique_ptr<WineSession> session;
};

// GoogleTest owns the environments it is given.
WineEnvironment* const kWine
    = static_cast<WineEnvironment*>(testing::AddGlobalTestEnvironment(new WineEnvironment));

class UnderWine : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(kWine->namespaces->ok()) << kWine->namespaces->error;
        ASSERT_EQ(kWine->session->error(), "");
        ASSERT_TRUE(resetTable());
    }

    // Only the namespace's own address and no neighbours, as a new pair has it.
    static bool resetTable()
    {
        return namespaces().ipInHost({ "neigh", "flush", "dev", "veth0", "nud", "all" })
            && namespaces().ipInHost({ "addr", "flush", "dev", "veth0" })
            && namespaces().ipInHost(
                { "addr", "add", std::string(NamespacePair::kHostAddress) + "/24", "dev", "veth0" });
    }

    static bool neigh(
        const std::string& verb, const std::string& address, const std::string& mac, const std::string& state)
    {
        std::vector<std::string> arguments { "neigh", verb, address };
        if (mac != "-")
            arguments.insert(arguments.end(), { "lladdr", mac });
        arguments.insert(arguments.end(), { "dev", "veth0", "nud", state });
        return namespaces().ipInHost(arguments);
    }

    // One request of a Windows host test (see HarnessProtocol.h), carried out.
    static std::string serve(const std::string& request)
    {
        std::istringstream words(request);
        std::string verb;
        std::string first;
        std::string mac;
        std::string state;
        words >> verb >> first >> mac >> state;
        bool done = false;
        if (verb == "reset") {
            done = resetTable();
        } else if (verb == "add" || verb == "replace") {
            done = neigh(verb, first, mac, state);
        } else if (verb == "address") {
            done = namespaces().ipInHost({ "addr", "add", first, "dev", "veth0" });
        } else if (verb == "picture") {
            // x y width height of a window on the X display, saved as PNG.
            std::string height;
            words >> height;
            const char* target = std::getenv("TEVRA_WINDOW_PICTURE");
            const CommandResult shot = runCommand({ "scrot", "-o", "-a",
                first + "," + mac + "," + state + "," + height, target ? target : TEVRA_WINDOW_PICTURE });
            done = shot.status == 0;
            if (!done)
                ADD_FAILURE() << "scrot: " << shot.err;
        } else if (verb == "list") {
            const CommandResult listing
                = runCommand({ "ip", "-n", namespaces().hostName(), "-4", "neigh", "show" });
            std::string answer = "listed";
            std::istringstream lines(listing.out);
            for (std::string line; std::getline(lines, line);)
                answer += " " + line.substr(0, line.find(' '));
            return answer;
        }
        return done ? "ok" : "failed";
    }

    struct Finished {
        int status = -1;
        std::string output;
    };

    // A test program of the Windows build, run to its end with its harness
    // requests answered; its output without them.
    static Finished runWindowsTests(const std::string& program,
        const std::vector<std::string>& arguments = {}, std::vector<std::string> environment = {})
    {
        environment.push_back(std::string(kHarnessVariable) + "=1");
        RunningProgram tests(session().command(program, arguments, environment), true);
        Finished finished;
        while (const auto line = tests.readLine(120s)) {
            const std::string text = withoutCarriageReturns(*line);
            const bool request = text.starts_with(kHarnessRequest);
            const std::string what = request ? text.substr(std::string_view(kHarnessRequest).size()) : "";
            if (what == "interrupt") {
                tests.signal(SIGINT);
                tests.writeLine("ok");
            } else if (request) {
                tests.writeLine(serve(what));
            } else
                finished.output += text + "\n";
        }
        // Ended, or silent for too long: a program that ended keeps its status.
        tests.signal(SIGKILL);
        finished.status = tests.wait();
        return finished;
    }

    static NamespacePair& namespaces() { return *kWine->namespaces; }
    static WineSession& session() { return *kWine->session; }
};

// --- The test programs built for Windows ---

struct TestProgram {
    const char* name;
    const char* path;
};

void PrintTo(const TestProgram& program, std::ostream* os)
{
    *os << program.name;
}

const TestProgram kTestPrograms[] = {
    { "engine", "tests/engine/test_engine.exe" },
    { "console", "tests/cli/test_cli.exe" },
    // The read side against this namespace's table; the write side is tested
    // through a seam, since Wine's DeleteIpNetEntry and FlushIpNetTable are stubs.
    { "host", "tests/hostnet/test_hostnet.exe" },
    // tevra-arp-helper.exe started with the verb "runas": Windows' answers
    // scripted, since Wine has no consent prompt.
    { "runas", "tests/ui/win32/test_runas_launcher.exe" },
};

class WindowsTests : public UnderWine, public testing::WithParamInterface<TestProgram> { };

TEST_P(WindowsTests, PassWithoutSkipping)
{
    const Finished finished = runWindowsTests(GetParam().path);
    EXPECT_EQ(finished.status, 0) << finished.output;
    EXPECT_NE(finished.output.find("[  PASSED  ]"), std::string::npos) << finished.output;
    // A skipped test here is one the harness should have made possible.
    EXPECT_EQ(finished.output.find("[  SKIPPED ]"), std::string::npos) << finished.output;
}

INSTANTIATE_TEST_SUITE_P(Programs, WindowsTests, testing::ValuesIn(kTestPrograms),
    [](const auto& info) { return std::string(info.param.name); });

// --- The window, Tevra.exe, on the X display the test runs on ---

class WindowUnderWine : public UnderWine {
protected:
    void SetUp() override
    {
        UnderWine::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The session's windows go to the display the test runs on.
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display (Xvfb)";
    }
};

// The window in the test program's own process: rows, changes, commands,
// saving, the tray and the start-up (tests/ui/win32/test_window.cpp).
TEST_F(WindowUnderWine, PassesItsTestsOnTheNamespacesTable)
{
    const Finished finished = runWindowsTests("tests/ui/win32/test_window.exe");
    EXPECT_EQ(finished.status, 0) << finished.output;
    EXPECT_NE(finished.output.find("[  PASSED  ]"), std::string::npos) << finished.output;
    EXPECT_EQ(finished.output.find("[  SKIPPED ]"), std::string::npos) << finished.output;
}

// The real program as a user starts it, watched by tests/ui/win32/window_probe.cpp.
TEST_F(WindowUnderWine, ShowsItsWindowThroughFiveTicksAndEndsOnWmClose)
{
    ASSERT_TRUE(neigh("add", "10.66.0.11", "00:0c:29:11:22:34", "permanent"));
    // An alert for the picture: a red cross and a numbered line.
    ASSERT_TRUE(neigh("add", "10.66.0.30", "ff:ff:ff:ff:ff:ff", "permanent"));
    const char* picture = std::getenv("TEVRA_WINDOW_PICTURE");
    const std::string picturePath = picture ? picture : TEVRA_WINDOW_PICTURE;
    std::remove(picturePath.c_str());
    std::string program = "Z:" + std::string(TEVRA_WINDOWS_BUILD) + "/ui/win32/Tevra.exe";
    std::ranges::replace(program, '/', '\\');
    const Finished finished = runWindowsTests("tests/ui/win32/window_probe.exe", { program });
    EXPECT_EQ(finished.status, 0) << finished.output;
    EXPECT_NE(finished.output.find("alive through five ticks"), std::string::npos) << finished.output;
    EXPECT_NE(finished.output.find("ended with status 0"), std::string::npos) << finished.output;
    std::ifstream saved(picturePath, std::ios::binary);
    char signature[8] {};
    saved.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature, sizeof signature), "\x89PNG\r\n\x1a\n") << picturePath;
}

// --- tevra-watch.exe ---

using WatchUnderWine = UnderWine;

// Address, MAC and vendor of each listed row: the cells both platforms must
// agree on (type and adapter texts are the platform's own).
std::vector<std::string> addressesAndMacs(const std::string& table)
{
    std::vector<std::string> rows;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        // Wine lists the IGMP and SSDP groups on every interface, as Windows does.
        if (cells.size() < 5 || cells[0] == "224.0.0.22" || cells[0] == "239.255.255.250")
            continue;
        rows.push_back(cells[0] + " " + cells[1] + " " + cells[4]);
    }
    return rows;
}

TEST_F(WatchUnderWine, ListsTheNamespacesNeighboursAsOnLinux)
{
    ASSERT_TRUE(neigh("add", "10.66.1.1", "00:0c:29:11:22:36", "permanent"));
    ASSERT_TRUE(neigh("add", "10.66.0.11", "00:0c:29:11:22:34", "reachable"));
    ASSERT_TRUE(neigh("add", "10.66.0.13", "02:00:00:00:00:13", "stale"));
    ASSERT_TRUE(neigh("add", "10.66.0.7", "-", "incomplete"));
    ASSERT_TRUE(neigh("add", "10.66.0.12", "00:0c:29:11:22:35", "noarp"));
    const CommandResult onLinux
        = runCommand(namespaces().execInHost({ TEVRA_WATCH_PATH, "--once", "--table" }));
    const CommandResult onWine = session().run("cli/tevra-watch.exe", { "--once", "--table" });
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    ASSERT_EQ(onWine.status, 0) << onWine.err;
    EXPECT_EQ(onWine.err, "");

    const std::vector<std::string> rows = addressesAndMacs(onLinux.out);
    EXPECT_EQ(rows,
        (std::vector<std::string> { "IP MAC vendor", "10.66.0.7 00-00-00-00-00-00 -",
            "10.66.0.11 00-0C-29-11-22-34 VMware, Inc.", "10.66.0.13 02-00-00-00-00-13 locally administered",
            "10.66.1.1 00-0C-29-11-22-36 VMware, Inc." }));
    EXPECT_EQ(addressesAndMacs(withoutCarriageReturns(onWine.out)), rows);
    // Each of the Windows program's lines ends in CR LF, and only there.
    EXPECT_EQ(std::ranges::count(onWine.out, '\r'), std::ranges::count(onWine.out, '\n'));
    EXPECT_EQ(onWine.out.find("\r\r"), std::string::npos);
}

TEST_F(WatchUnderWine, AnswersItsVersionInOneCrLfLine)
{
    const CommandResult result = session().run("cli/tevra-watch.exe", { "--version" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string("tevra-watch ") + kVersion + "\r\n");
}

// "<serial> - <rest>" of an alert line whose time of day is well formed.
std::string withoutTime(const std::optional<std::string>& line)
{
    static const std::regex alert("(\\d+) - \\d\\d:\\d\\d:\\d\\d: (.*)");
    std::smatch parts;
    const std::string text = withoutCarriageReturns(line.value_or("(none)"));
    if (!std::regex_match(text, parts, alert))
        return "no alert line: " + text;
    return parts[1].str() + " - " + parts[2].str();
}

TEST_F(WatchUnderWine, SeesAChangeAndEndsCleanlyOnCtrlC)
{
    ASSERT_TRUE(neigh("add", "10.66.0.5", "00:0c:29:11:22:33", "permanent"));
    // Its alert shows that tevra-watch.exe has made its first reading.
    ASSERT_TRUE(neigh("add", "10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent"));
    RunningProgram watch(session().command("cli/tevra-watch.exe", { "--interval", "200" }));
    ASSERT_TRUE(watch.started());
    ASSERT_EQ(withoutTime(watch.readLine(60s)),
        "1 - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");

    ASSERT_TRUE(neigh("replace", "10.66.0.5", "00:0c:29:44:55:66", "permanent"));
    EXPECT_EQ(withoutTime(watch.readLine(10s)),
        "2 - Mapping changed: 10.66.0.5 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66");

    // Wine turns SIGINT into the console's Ctrl+C event.
    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(), 0);
}

// The alerts that name an attacker, from the tables Windows is polled for:
// the ARP table, the adapters with their MACs, and the routes.
TEST_F(WatchUnderWine, NamesTheAttackerAndTheRogueGatewayFromThePolledTables)
{
    ASSERT_TRUE(neigh("add", "10.66.0.254", "02:00:00:00:00:fe", "reachable"));
    ASSERT_TRUE(neigh("add", "10.66.0.66", "02:00:00:00:00:66", "reachable"));
    ASSERT_TRUE(namespaces().ipInHost({ "route", "add", "default", "via", "10.66.0.254", "dev", "veth0" }));
    ASSERT_TRUE(neigh("add", "10.66.0.99", "ff:ff:ff:ff:ff:ff", "permanent"));
    RunningProgram watch(session().command("cli/tevra-watch.exe", { "--interval", "200" }));
    ASSERT_TRUE(watch.started());
    ASSERT_EQ(withoutTime(watch.readLine(60s)),
        "1 - Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF");

    ASSERT_TRUE(neigh("replace", "10.66.0.254", "02:00:00:00:00:66", "reachable"));
    EXPECT_EQ(withoutTime(watch.readLine(10s)),
        "2 - Mapping changed: 10.66.0.254 changed from 02-00-00-00-00-FE to 02-00-00-00-00-66");
    EXPECT_EQ(withoutTime(watch.readLine(10s)),
        "3 - Dublicate MAC found: 10.66.0.254 and 10.66.0.66 both have 02-00-00-00-00-66");
    ASSERT_TRUE(
        namespaces().ipInHost({ "route", "replace", "default", "via", "10.66.0.66", "dev", "veth0" }));
    EXPECT_EQ(withoutTime(watch.readLine(10s)),
        "4 - Default route changed:  the route for 02-00-00-00-00-01 changed from 10.66.0.254 to 10.66.0.66");

    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(), 0);
    namespaces().ipInHost({ "route", "del", "default" });
}

// --- What Wine's IP Helper answers for the tables of both families ---

// The namespace holds neighbours of both families, a router among them, and
// a default route of each family; ip_tables_probe.exe prints what Wine's
// GetIpNetTable2, GetIpForwardTable2 and GetBestRoute2 make of them, through
// the host layer's seam. What Wine answers today is what the Windows layer
// can rely on under Wine: a change here is a change of Wine to look into.
struct ProbeCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> lines;  // sorted, "if N" with veth0's index as "if V"
};

void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << c.name;
}

// Wine reads the IPv4 neighbours from /proc/net/arp, where the kernel's
// states are only complete, permanent or neither: reachable and stale both
// read as reachable, and an incomplete or failed entry as stale and
// unreachable with six zero bytes. noarp entries are not listed. Each
// interface also lists the IGMP and SSDP groups as permanent.
const std::vector<std::string> kIpv4Neighbours {
    "10.66.0.11 if V mac 00-0C-29-11-22-11/6 state reachable router 0 unreachable 0",
    "10.66.0.12 if V mac 00-0C-29-11-22-12/6 state reachable router 0 unreachable 0",
    "10.66.0.13 if V mac 00-0C-29-11-22-13/6 state permanent router 0 unreachable 0",
    "10.66.0.16 if V mac 00-00-00-00-00-00/6 state stale router 0 unreachable 1",
    "10.66.0.17 if V mac 00-00-00-00-00-00/6 state stale router 0 unreachable 1",
    "224.0.0.22 if 1 mac -/0 state permanent router 0 unreachable 0",
    "224.0.0.22 if V mac -/0 state permanent router 0 unreachable 0",
    "239.255.255.250 if 1 mac -/0 state permanent router 0 unreachable 0",
    "239.255.255.250 if V mac -/0 state permanent router 0 unreachable 0",
    "status 0",
};

// The IPv4 routes: Wine reads the metric column of /proc/net/route as
// hexadecimal (100 reads as 256), which keeps the order of metrics.
const std::vector<std::string> kIpv4Routes {
    "0.0.0.0 /0 via 10.66.0.2 if V protocol 3 metric 256 valid 4294967295 preferred 4294967295 origin 0",
    "10.66.0.0 /24 via 0.0.0.0 if V protocol 2 metric 0 valid 4294967295 preferred 4294967295 origin 0",
    "status 0",
};

const ProbeCase kProbeCases[] = {
    // GetIpNetTable, as the ARP table is read today: the same entries, with
    // the type that the state of each row above stands for.
    { "arp_table", { "arp" },
        { "10.66.0.11 if V mac 00-0C-29-11-22-11/6 type 3", "10.66.0.12 if V mac 00-0C-29-11-22-12/6 type 3",
            "10.66.0.13 if V mac 00-0C-29-11-22-13/6 type 4",
            "10.66.0.16 if V mac 00-00-00-00-00-00/6 type 3",
            "10.66.0.17 if V mac 00-00-00-00-00-00/6 type 3", "224.0.0.22 if 1 mac -/0 type 4",
            "224.0.0.22 if V mac -/0 type 4", "239.255.255.250 if 1 mac -/0 type 4",
            "239.255.255.250 if V mac -/0 type 4", "status 0" } },
    { "neighbours_ipv4", { "neighbours", "inet" }, kIpv4Neighbours },
    // Wine 8 has no IPv6 neighbour table on Linux: the call fails with
    // ERROR_INVALID_FUNCTION, and so does AF_UNSPEC, IPv4 rows and all.
    { "neighbours_ipv6", { "neighbours", "inet6" }, { "status 1" } },
    { "neighbours_both", { "neighbours", "unspec" }, { "status 1" } },
    // The IPv6 routing table is empty, the default route included; AF_UNSPEC
    // gives the IPv4 routes alone.
    { "routes_ipv6", { "routes", "inet6" }, { "status 0" } },
    { "routes_both", { "routes", "unspec" }, kIpv4Routes },
    { "routes_ipv4", { "routes", "inet" }, kIpv4Routes },
    // GetBestRoute2 answers ERROR_NOT_SUPPORTED for either family, loopback
    // included.
    { "best_route_ipv6", { "best", "2001:db8:66::11" }, { "status 50" } },
    { "best_route_link_local", { "best", "fe80::1" }, { "status 50" } },
    { "best_route_ipv6_loopback", { "best", "::1" }, { "status 50" } },
    { "best_route_ipv4", { "best", "10.66.0.11" }, { "status 50" } },
};

class IpTablesUnderWine : public UnderWine, public testing::WithParamInterface<ProbeCase> {
protected:
    void SetUp() override
    {
        UnderWine::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const CommandResult index
            = runCommand(namespaces().execInHost({ "cat", "/sys/class/net/veth0/ifindex" }));
        ASSERT_EQ(index.status, 0) << index.err;
        veth0 = index.out.substr(0, index.out.find('\n'));
        ASSERT_TRUE(
            namespaces().ipInHost({ "-6", "addr", "add", "2001:db8:66::1/64", "dev", "veth0", "nodad" }));
        for (const auto& [address, mac, state] : std::vector<std::array<std::string, 3>> {
                 { "10.66.0.11", "00:0c:29:11:22:11", "reachable" },
                 { "10.66.0.12", "00:0c:29:11:22:12", "stale" },
                 { "10.66.0.13", "00:0c:29:11:22:13", "permanent" },
                 { "10.66.0.14", "00:0c:29:11:22:14", "noarp" },
                 { "10.66.0.16", "-", "incomplete" },
                 { "10.66.0.17", "00:0c:29:11:22:17", "failed" },
                 { "2001:db8:66::11", "02:00:00:00:66:11", "reachable" },
                 { "2001:db8:66::12", "02:00:00:00:66:12", "stale" },
                 { "2001:db8:66::13", "02:00:00:00:66:13", "permanent" },
                 { "fe80::2", "02:00:00:00:fe:02", "stale" },
             })
            ASSERT_TRUE(neigh("add", address, mac, state)) << address;
        ASSERT_TRUE(namespaces().ipInHost({ "-6", "neigh", "add", "fe80::1", "lladdr", "02:00:00:00:fe:01",
            "dev", "veth0", "nud", "reachable", "router" }));
        ASSERT_TRUE(namespaces().ipInHost({ "-6", "route", "add", "default", "via", "fe80::1", "dev", "veth0",
            "proto", "ra", "metric", "1024", "expires", "1800" }));
        ASSERT_TRUE(namespaces().ipInHost(
            { "route", "add", "default", "via", "10.66.0.2", "dev", "veth0", "metric", "100" }));
    }

    void TearDown() override
    {
        namespaces().ipInHost({ "route", "del", "default" });
        namespaces().ipInHost({ "-6", "route", "del", "default" });
        namespaces().ipInHost({ "-6", "neigh", "flush", "dev", "veth0", "nud", "all" });
        UnderWine::TearDown();
    }

    // The probe's lines, sorted, with veth0's index written V.
    std::vector<std::string> probe(const std::vector<std::string>& arguments) const
    {
        const CommandResult result = session().run("tests/hostnet/ip_tables_probe.exe", arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<std::string> lines;
        std::istringstream text(withoutCarriageReturns(result.out));
        for (std::string line; std::getline(text, line);) {
            const std::string mark = " if " + veth0 + " ";
            if (const std::size_t at = line.find(mark); at != std::string::npos)
                line.replace(at, mark.size(), " if V ");
            lines.push_back(line);
        }
        std::ranges::sort(lines);
        return lines;
    }

    std::string veth0;
};

TEST_P(IpTablesUnderWine, AnswersAsWine8Does)
{
    EXPECT_EQ(probe(GetParam().arguments), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Calls, IpTablesUnderWine, testing::ValuesIn(kProbeCases),
    [](const auto& info) { return std::string(info.param.name); });

// DeleteIpNetEntry2 and FlushIpNetTable2 are not even stubs in Wine 8: they
// are unimplemented, and a call ends the program. The Windows layer's use of
// them is tested through the seam alone, and nothing may call them for a
// row Wine listed (IPv4 rows go to DeleteIpNetEntry, FlushIpNetTable).
TEST_F(IpTablesUnderWine, EndsTheProgramOnDeleteIpNetEntry2AndFlushIpNetTable2)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> calls {
        { "DeleteIpNetEntry2", { "delete", "2001:db8:66::11", veth0 } },
        { "DeleteIpNetEntry2", { "delete", "10.66.0.11", veth0 } },
        { "FlushIpNetTable2", { "flush", "inet6", veth0 } },
        { "FlushIpNetTable2", { "flush", "unspec", veth0 } },
    };
    for (const auto& [name, arguments] : calls) {
        // No debugger, which would wait on the X display for someone to close it.
        const CommandResult result = runCommand(session().command("tests/hostnet/ip_tables_probe.exe",
            arguments, { "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d" }));
        EXPECT_NE(result.status, 0) << arguments[0] << " " << arguments[1];
        EXPECT_EQ(result.out, "") << arguments[0] << " " << arguments[1];
        EXPECT_NE(result.err.find("unimplemented function IPHLPAPI.DLL." + name), std::string::npos)
            << result.err;
    }
}

// Under Wine the Windows layer reads the ARP table alone: GetIpNetTable2
// fails there, so the IPv6 neighbours of the namespace are not listed.
TEST_F(IpTablesUnderWine, WatchListsTheIpv4NeighboursAlone)
{
    const CommandResult onWine = session().run("cli/tevra-watch.exe", { "--once", "--table" });
    ASSERT_EQ(onWine.status, 0) << onWine.err;
    EXPECT_EQ(addressesAndMacs(withoutCarriageReturns(onWine.out)),
        (std::vector<std::string> { "IP MAC vendor", "10.66.0.11 00-0C-29-11-22-11 VMware, Inc.",
            "10.66.0.12 00-0C-29-11-22-12 VMware, Inc.", "10.66.0.13 00-0C-29-11-22-13 VMware, Inc.",
            "10.66.0.16 00-00-00-00-00-00 -", "10.66.0.17 00-00-00-00-00-00 -" }));
}

// An IPv6 entry is refused with the system's reason where the host lists no
// IPv6 neighbours, rather than handed to Wine's DeleteIpNetEntry2.
TEST_F(IpTablesUnderWine, HelperRefusesToDeleteAnIpv6EntryInsteadOfEnding)
{
    for (const char* address : { "2001:db8:66::11", "fe80::1" }) {
        const CommandResult result
            = runCommand(session().command("helper/tevra-arp-helper.exe", { "delete", address, veth0 },
                { "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d" }));
        EXPECT_EQ(result.status, 1) << address << ": " << result.err;
        EXPECT_TRUE(result.err.starts_with("tevra-arp-helper: ")) << result.err;
        EXPECT_NE(result.err.find("deleting an IPv6 neighbour entry"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("unimplemented function"), std::string::npos) << result.err;
    }
}

// --- tevra-arp-helper.exe ---

// The Windows helper refuses what the Linux one refuses, with the same status
// and usage, and takes what it takes. Wine's DeleteIpNetEntry is a stub that
// answers success, so a status 0 here is never taken as an entry deleted.
class HelperUnderWine : public UnderWine, public testing::WithParamInterface<RefusedArguments> {
protected:
    static CommandResult onLinux(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command { TEVRA_ARP_HELPER_PATH };
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runCommand(namespaces().execInHost(command));
    }
};

TEST_P(HelperUnderWine, RefusesAsOnLinux)
{
    const CommandResult fromLinux = onLinux(GetParam().arguments);
    const CommandResult windows = session().run("helper/tevra-arp-helper.exe", GetParam().arguments);
    EXPECT_EQ(fromLinux.status, 2);
    EXPECT_EQ(windows.status, 2);
    EXPECT_TRUE(fromLinux.err.starts_with(kHelperUsageStart)) << fromLinux.err;
    EXPECT_EQ(withoutCarriageReturns(windows.err), fromLinux.err);
    EXPECT_EQ(windows.out, "");
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelperUnderWine, testing::ValuesIn(kRefusedHelperArguments),
    [](const auto& info) { return std::string(info.param.name); });

using HelperFormsUnderWine = UnderWine;

TEST_F(HelperFormsUnderWine, TakesBothFormsAndSaysWhatTheSystemRefused)
{
    // Taken: the helper goes to the system, which says 0 (Wine's stubbed
    // delete) or 1 with its reason; never the usage.
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>> {
             { "delete", "10.66.0.5", "2" }, { "flush", "2" }, { "flush", "2147483647" } }) {
        const CommandResult windows = session().run("helper/tevra-arp-helper.exe", arguments);
        EXPECT_TRUE(windows.status == 0 || windows.status == 1) << arguments[0] << ": " << windows.status;
        EXPECT_EQ(windows.err.find("usage:"), std::string::npos) << windows.err;
        if (windows.status == 1) {
            EXPECT_TRUE(windows.err.starts_with("tevra-arp-helper: ")) << windows.err;
        }
    }
}

// --- The portable ZIP and the installer ---

class PackageUnderWine : public UnderWine {
protected:
    static std::string package(const char* extension)
    {
        return std::string(TEVRA_WINDOWS_BUILD) + "/package/Tevra-" + kVersion + "-win64" + extension;
    }

    // The names in a folder, sorted; none when it is not there.
    static std::vector<std::string> namesIn(const std::filesystem::path& folder)
    {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            names.push_back(entry.path().filename().string());
        std::ranges::sort(names);
        return names;
    }

    // The programs every package holds, and the window where the build made it.
    static std::vector<std::string> programs()
    {
        std::vector<std::string> names { "README.txt", "tevra-arp-helper.exe", "tevra-watch.exe" };
        if (windowBuilt())
            names.push_back("Tevra.exe");
        // In the order namesIn gives them.
        std::ranges::sort(names);
        return names;
    }

    static bool windowBuilt()
    {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(TEVRA_WINDOWS_BUILD, error))
            if (entry.path().filename() == "Tevra.exe"
                && entry.path().string().find("/package/") == std::string::npos)
                return true;
        return false;
    }

    // Whether Windows lists the program among the installed ones.
    static bool registered()
    {
        return session()
                   .wine({ "reg", "query",
                       "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tevra" })
                   .status
            == 0;
    }

    // The installed tevra-watch.exe (or the unpacked one) answers as the built one.
    static void expectWatchRuns(const std::string& windowsPath)
    {
        const CommandResult version = session().wine({ windowsPath, "--version" });
        EXPECT_EQ(version.status, 0) << version.err;
        EXPECT_EQ(version.out, std::string("tevra-watch ") + kVersion + "\r\n");
    }
};

TEST_F(PackageUnderWine, ZipHoldsTheProgramsInOneFolderThatRunUnpacked)
{
    const std::string top = std::string("Tevra-") + kVersion + "-win64";
    const std::filesystem::path unpacked = session().driveC() + "/portable";
    std::filesystem::create_directories(unpacked);
    const CommandResult unzip
        = runCommand({ "sh", "-c", "cd \"$1\" && cmake -E tar xf \"$2\"", "sh", unpacked, package(".zip") });
    ASSERT_EQ(unzip.status, 0) << unzip.err;
    EXPECT_EQ(namesIn(unpacked), std::vector<std::string> { top });
    EXPECT_EQ(namesIn(unpacked / top), programs());
    EXPECT_TRUE(fileText(unpacked / top / "README.txt") == fileText(TEVRA_SOURCE_DIR "/README.md"))
        << "README.txt is not README.md";
    expectWatchRuns("C:\\portable\\" + top + "\\tevra-watch.exe");
    std::filesystem::remove_all(unpacked);
}

TEST_F(PackageUnderWine, InstallsSilentlyAndItsUninstallerRemovesEverything)
{
    const std::filesystem::path folder = session().driveC() + "/Program Files/Tevra";
    const std::filesystem::path menu
        = session().driveC() + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Tevra";
    const CommandResult install = session().wine({ package(".exe"), "/S" });
    ASSERT_EQ(install.status, 0) << install.err;

    std::vector<std::string> installed = programs();
    installed.push_back("Uninstall.exe");
    std::ranges::sort(installed);
    EXPECT_EQ(namesIn(folder), installed);
    EXPECT_TRUE(fileText(folder / "README.txt") == fileText(TEVRA_SOURCE_DIR "/README.md"))
        << "README.txt is not README.md";
    std::vector<std::string> links { "Tevra README.lnk", "Uninstall.lnk" };
    if (windowBuilt())
        links.push_back("Tevra.lnk");
    std::ranges::sort(links);
    EXPECT_EQ(namesIn(menu), links);
    EXPECT_TRUE(registered());
    expectWatchRuns("C:\\Program Files\\Tevra\\tevra-watch.exe");

    // The uninstaller copies itself out of the folder it removes and ends at
    // once; its copy does the work.
    const CommandResult uninstall = session().wine({ "C:\\Program Files\\Tevra\\Uninstall.exe", "/S" });
    ASSERT_EQ(uninstall.status, 0) << uninstall.err;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while ((std::filesystem::exists(folder) || std::filesystem::exists(menu))
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(std::filesystem::exists(folder)) << testing::PrintToString(namesIn(folder));
    EXPECT_FALSE(std::filesystem::exists(menu)) << testing::PrintToString(namesIn(menu));
    EXPECT_FALSE(registered());
}

}  // namespace
}  // namespace tevra::test
