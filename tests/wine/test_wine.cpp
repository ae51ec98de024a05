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
