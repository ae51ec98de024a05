// SPDX-License-Identifier: GPL-3.0-or-later
// The learned table kept in a file across restarts: real files, the real
// console run on the scripted host.
#include "FileText.h"
#include "cli/ConsoleWatch.h"
#include "cli/StateFile.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/cli/WatchRun.h"
#include "tests/support/ScriptedRows.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace tevra::cli {
namespace {

namespace fs = std::filesystem;
using test::arpRow;
using test::contents;
using test::fileText;
using test::Outcome;
using namespace std::chrono_literals;

// --- The file's text ---

struct DamageCase {
    const char* name;
    const char* text;
    std::size_t line;
    const char* reason;
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

const DamageCase kDamageCases[] = {
    { "empty", "", 1, "empty file" },
    { "other_header", "arpwatch\n", 1, "expected \"tevra-watch state 1\"" },
    { "later_version", "tevra-watch state 2\n", 1, "expected \"tevra-watch state 1\"" },
    { "cut_short", "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\teth0\t3\t1\t", 2, "middle of a line" },
    { "too_few_fields", "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\n", 2, "found 2" },
    { "bad_address",
        "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\teth0\t3\t1\t2\n10.0.0\t-\teth0\t3\t1\t2\n", 3,
        "not an IPv4 address" },
    { "bad_mac", "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-3\teth0\t3\t1\t2\n", 2, "not a MAC address" },
    { "mac_too_long", "tevra-watch state 1\n10.0.0.1\t00-00-00-00-00-00-00-00-00\teth0\t3\t1\t2\n", 2,
        "not a MAC address" },
    { "bad_type", "tevra-watch state 1\n10.0.0.1\t-\teth0\tdynamic\t1\t2\n", 2, "not an entry type" },
    { "bad_time", "tevra-watch state 1\n10.0.0.1\t-\teth0\t3\t1.5\t2\n", 2, "not a time (first seen)" },
    { "empty_time", "tevra-watch state 1\n10.0.0.1\t-\teth0\t3\t1\t\n", 2, "not a time (last changed)" },
    // What this program never writes: planted or hand-edited lines.
    { "five_byte_mac", "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22\teth0\t3\t1\t2\n", 2,
        "a MAC address has 6 or 8 bytes" },
    { "negative_time", "tevra-watch state 1\n10.0.0.1\t-\teth0\t3\t-5\t2\n", 2,
        "time before 1970 (first seen)" },
    { "unknown_type", "tevra-watch state 1\n10.0.0.1\t-\teth0\t99\t1\t2\n", 2, "unknown entry type" },
    { "address_twice", "tevra-watch state 1\n10.0.0.1\t-\t\t3\t1\t2\n10.0.0.1\t-\t\t3\t1\t2\n", 3,
        "address listed twice" },
    // The lines of what the alerts said.
    { "pair_without_mac", "tevra-watch state 1\nduplicate-mac\t10.0.0.1\n", 2, "found 2" },
    { "pair_bad_address", "tevra-watch state 1\nduplicate-mac\t10.0.0\t00-0C-29-11-22-33\n", 2,
        "not an IPv4 address" },
    { "pair_eight_byte_mac", "tevra-watch state 1\nduplicate-mac\t10.0.0.1\t01-02-03-04-05-06-07-08\n", 2,
        "not a MAC address" },
    { "subnet_bad_address", "tevra-watch state 1\nnot-in-subnet\t10.0.0.256\teth0\n", 2,
        "not an IPv4 address" },
    { "route_twice", "tevra-watch state 1\ndefault-route\teth0\t10.0.0.254\ndefault-route\teth0\t10.0.0.66\n",
        3, "default route listed twice" },
};

class StateDamage : public testing::TestWithParam<DamageCase> { };

TEST_P(StateDamage, IsRefusedWithItsLine)
{
    const DamageCase& c = GetParam();
    const ParsedState parsed = parseStateText(c.text);
    EXPECT_FALSE(parsed.mappings);
    EXPECT_EQ(parsed.line, c.line);
    EXPECT_NE(parsed.reason.find(c.reason), std::string::npos) << parsed.reason;
}

INSTANTIATE_TEST_SUITE_P(Cases, StateDamage, testing::ValuesIn(kDamageCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateText, ReadsBackWhatItWrites)
{
    const std::string text = "tevra-watch state 1\n"
                             "10.0.0.1\t00-0C-29-11-22-33\tveth0 (veth)\t3\t1796911389\t1796911400\n"
                             "10.0.0.7\t-\t\t2\t5\t0\n"
                             "10.0.0.9\t01-02-03-04-05-06-07-08\teth1\t4\t1\t2\n";
    const ParsedState parsed = parseStateText(text);
    ASSERT_TRUE(parsed.mappings) << parsed.line << ": " << parsed.reason;
    ASSERT_EQ(parsed.mappings->size(), 3u);
    EXPECT_EQ((*parsed.mappings)[0].interface, "veth0 (veth)");
    EXPECT_EQ((*parsed.mappings)[1].macLength, 0u);
    EXPECT_EQ((*parsed.mappings)[2].macLength, 8u);
    EXPECT_EQ(stateText(*parsed.mappings), text);
}

TEST(StateText, ReadsBackWhatTheAlertsSaid)
{
    const std::string text = "tevra-watch state 1\n"
                             "10.0.0.1\t00-0C-29-11-22-33\tveth0 (veth)\t3\t1796911389\t1796911400\n"
                             "duplicate-mac\t10.0.0.254\t02-00-00-00-00-66\n"
                             "not-in-subnet\t192.168.5.5\tveth0 (veth)\n"
                             "default-route\tveth0 (veth)\t10.0.0.254\n";
    const ParsedState parsed = parseStateText(text);
    ASSERT_TRUE(parsed.mappings) << parsed.line << ": " << parsed.reason;
    ASSERT_EQ(parsed.mappings->size(), 1u);
    ASSERT_EQ(parsed.memory.duplicatePairs.size(), 1u);
    EXPECT_EQ(parsed.memory.notInSubnet,
        (std::vector<std::pair<hostnet::IpAddress, std::string>> {
            { *parseAddress("192.168.5.5"), "veth0 (veth)" } }));
    EXPECT_EQ(parsed.memory.outsideRoute,
        (std::pair<std::string, hostnet::IpAddress> { "veth0 (veth)", *parseAddress("10.0.0.254") }));
    EXPECT_EQ(stateText(*parsed.mappings, parsed.memory), text);
}

// --- Across runs of the console ---

class StateAcrossRuns : public testing::Test {
protected:
    static std::set<std::string> namesIn(const fs::path& where)
    {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(where))
            names.insert(item.path().filename().string());
        return names;
    }

    StateAcrossRuns()
    {
        folder = temporary.path();
        state = folder / "mappings";
    }

    // One run of `tevra-watch --once [--table] --state FILE`.
    Outcome runOnce(std::vector<hostnet::MibIpNetRow> table, bool withTable = false,
        std::vector<hostnet::IpAdapterInfo> adapters = { { 2, "veth0 (veth)" } })
    {
        WatchOptions options;
        options.table = withTable;
        options.statePath = state.string();
        return test::runWatchOnce(options, std::move(table), std::move(adapters));
    }

    // The alert lines without their number and time.
    static std::vector<std::string> alerts(const std::string& out)
    {
        std::vector<std::string> found;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            if (const auto at = line.find(": "); at != std::string::npos && line.find(" - ") < at)
                found.push_back(line.substr(at + 2));
        return found;
    }

    test::TempFolder temporary;
    fs::path folder;
    fs::path state;
};

TEST_F(StateAcrossRuns, ChangeWhileStoppedIsReportedAndRestartIsQuiet)
{
    const Outcome first
        = runOnce({ arpRow("10.0.0.1", "00-0C-29-11-22-33"), arpRow("10.0.0.2", "00-0C-29-00-00-02") });
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "");
    const std::string written = fileText(state);
    EXPECT_TRUE(written.starts_with("tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\tveth0 (veth)\t3\t"))
        << written;

    // 10.0.0.1 changed while the watcher was not running.
    const Outcome second
        = runOnce({ arpRow("10.0.0.1", "00-0C-29-44-55-66"), arpRow("10.0.0.2", "00-0C-29-00-00-02") });
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(alerts(second.out),
        std::vector<std::string> {
            "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66" });

    // Nothing changed since: nothing to say. The interface got another
    // number after a reboot; the stored name still finds it, and the kept
    // entries show their type and adapter as a fresh run would.
    const Outcome third
        = runOnce({ arpRow("10.0.0.1", "00-0C-29-44-55-66", 5), arpRow("10.0.0.2", "00-0C-29-00-00-02", 5) },
            true, { { 5, "veth0 (veth)" } });
    ASSERT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(alerts(third.out), std::vector<std::string> {});
    EXPECT_NE(
        third.out.find("10.0.0.2\t00-0C-29-00-00-02\tyes\t-\tVMware, Inc.\t33554442\t167772162\tdynamic\t0x5 "
                       "veth0 (veth)\t\n"),
        std::string::npos)
        << third.out;
    // 10.0.0.1 keeps the time it was first seen; its last change is later.
    const ParsedState now = parseStateText(fileText(state));
    const ParsedState then = parseStateText(written);
    ASSERT_TRUE(now.mappings && then.mappings);
    EXPECT_EQ(now.mappings->at(0).firstSeen, then.mappings->at(0).firstSeen);
    EXPECT_GE(now.mappings->at(0).lastChanged, then.mappings->at(0).lastChanged);
}

TEST_F(StateAcrossRuns, DamagedFileStopsTheWatcherAndIsKept)
{
    const std::string damaged
        = "tevra-watch state 1\n10.0.0.1\t00-0C-29-11-22-33\tveth0\t3\t1\t2\n10.0.0.2\tbroken\n";
    std::ofstream(state, std::ios::binary) << damaged;
    const auto before = fs::last_write_time(state);
    const Outcome run = runOnce({ arpRow("10.0.0.1", "00-0C-29-44-55-66") });
    EXPECT_EQ(run.status, 78);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tevra-watch: " + state.string() + ":3: expected 6 TAB-separated fields, found 2\n");
    EXPECT_EQ(fileText(state), damaged);
    EXPECT_EQ(fs::last_write_time(state), before);
    // The file and the lock beside it, no temporary file.
    EXPECT_EQ(namesIn(folder), (std::set<std::string> { "mappings", "mappings.lock" }));
}

TEST_F(StateAcrossRuns, UnreadableFileStopsTheWatcher)
{
    fs::create_directory(state);
    const Outcome run = runOnce({ arpRow("10.0.0.1", "00-0C-29-44-55-66") });
    EXPECT_EQ(run.status, 78);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tevra-watch: cannot read " + state.string() + ": Is a directory\n");
    EXPECT_TRUE(fs::is_directory(state));
}

// A table that cannot be kept is a failure the user must hear of, not a
// quiet success.
TEST_F(StateAcrossRuns, UnwritableFolderFailsTheRun)
{
    state = folder / "missing" / "mappings";
    const Outcome run = runOnce({ arpRow("10.0.0.1", "00-0C-29-44-55-66") });
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("tevra-watch: cannot create a file beside " + state.string() + ": "))
        << run.err;
}

// What another user, or a mistake, may put where the state file should be is
// refused with the reason and status 78, never read, never waited on.
TEST_F(StateAcrossRuns, PlantedOrStrangeFilesAreRefused)
{
#ifndef _WIN32
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> plant;
        const char* reason;
        bool needsRoot;
    };
    const std::string planted = "tevra-watch state 1\n10.0.0.1\t02-00-00-00-66-66\tveth0 (veth)\t3\t1\t2\n";
    const auto writeText
        = [planted](const fs::path& path) { std::ofstream(path, std::ios::binary) << planted; };
    const std::vector<Case> cases {
        { "fifo", [](const fs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
            "is not a regular file", false },
        { "link",
            [&](const fs::path& path) {
                writeText(path.string() + ".real");
                fs::create_symlink(path.string() + ".real", path);
            },
            "is a symbolic link", false },
        { "huge_sparse",
            [](const fs::path& path) {
                std::ofstream(path).close();
                fs::resize_file(path, std::uintmax_t(300) << 20);
            },
            "is larger than 256 MB", false },
        { "other_users",
            [&](const fs::path& path) {
                writeText(path);
                ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
            },
            "is owned by another user (uid 65534)", true },
        { "group_writable",
            [&](const fs::path& path) {
                writeText(path);
                fs::permissions(
                    path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write);
            },
            "is writable by group or others", true },
    };
    for (const Case& c : cases) {
        if (c.needsRoot && geteuid() != 0)
            continue;
        state = folder / c.name;
        c.plant(state);
        const Outcome run = runOnce({ arpRow("10.0.0.1", "00-0C-29-11-22-33") });
        EXPECT_EQ(run.status, 78) << c.name;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
    }
    // A device: the path is the user's, and it is no state file.
    state = "/dev/zero";
    const Outcome run = runOnce({ arpRow("10.0.0.1", "00-0C-29-11-22-33") });
    EXPECT_EQ(run.status, 78);
    EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
#endif
}

// The written file is private and the process's own, whatever bits the old
// one had: a world-writable file must not stay so.
TEST_F(StateAcrossRuns, ReplacingWritesAPrivateFileAndLeavesNothingBehind)
{
    ASSERT_EQ(runOnce({ arpRow("10.0.0.1", "00-0C-29-11-22-33") }).status, 0);
    // Windows has no such bits: a new file there takes the folder's access rights.
#ifndef _WIN32
    fs::permissions(state, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    const Outcome run
        = runOnce({ arpRow("10.0.0.1", "00-0C-29-11-22-33"), arpRow("10.0.0.3", "00-0C-29-00-00-03") });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(fileText(state).find("10.0.0.3\t"), std::string::npos);
#ifndef _WIN32
    EXPECT_EQ(fs::status(state).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif
    // The file and the lock beside it, no temporary file.
    EXPECT_EQ(namesIn(folder), (std::set<std::string> { "mappings", "mappings.lock" }));
}

// IPv6 neighbours are kept as their text; a link-local one by its address and
// its interface's name, so that it finds its link again after the interfaces
// are numbered anew, and the same address on two links stays two neighbours.
TEST_F(StateAcrossRuns, Ipv6NeighboursKeepTheirLinks)
{
    const std::vector<hostnet::IpAdapterInfo> before { { 2, "veth0 (veth)" }, { 3, "veth1 (veth)" } };
    const Outcome first
        = runOnce({ arpRow("2001:db8::7", "00-0C-29-00-00-07"), arpRow("fe80::1", "00-0C-29-00-00-01", 2),
                      arpRow("fe80::1", "00-0C-29-00-00-02", 3), arpRow("10.0.0.1", "00-0C-29-00-00-0A") },
            false, before);
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string written = fileText(state);
    for (const char* line : { "\n2001:db8::7\t00-0C-29-00-00-07\tveth0 (veth)\t3\t",
             "\nfe80::1\t00-0C-29-00-00-01\tveth0 (veth)\t3\t",
             "\nfe80::1\t00-0C-29-00-00-02\tveth1 (veth)\t3\t" })
        EXPECT_NE(written.find(line), std::string::npos) << line << " in\n" << written;
    EXPECT_EQ(written.find('%'), std::string::npos) << "interface numbers do not last: " << written;

    // After a reboot the links are 7 and 8. Only veth1's fe80::1 changed.
    const std::vector<hostnet::IpAdapterInfo> after { { 7, "veth0 (veth)" }, { 8, "veth1 (veth)" } };
    const Outcome second
        = runOnce({ arpRow("2001:db8::7", "00-0C-29-00-00-07", 7), arpRow("fe80::1", "00-0C-29-00-00-01", 7),
                      arpRow("fe80::1", "00-0C-29-00-00-66", 8), arpRow("10.0.0.1", "00-0C-29-00-00-0A", 7) },
            true, after);
    ASSERT_EQ(second.status, 0) << second.err;
    const auto said = alerts(second.out);
    ASSERT_EQ(said.size(), 1u) << second.out;
    EXPECT_NE(said[0].find("fe80::1"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("00-0C-29-00-00-02"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("00-0C-29-00-00-66"), std::string::npos) << said[0];
    const ParsedState parsed = parseStateText(fileText(state));
    ASSERT_TRUE(parsed.mappings) << parsed.reason;
    EXPECT_EQ(parsed.mappings->size(), 4u);
}

// A state line names an address and an interface; the load decides what each
// becomes in the program cache on the host as it is now.
TEST_F(StateAcrossRuns, Ipv6LinesLoadOntoTheirInterfaces)
{
    {
        std::ofstream file(state, std::ios::binary);
        file << "tevra-watch state 1\n"
                "2001:db8::7\t00-0C-29-00-00-07\tveth0 (veth)\t3\t1\t2\n"
                "2001:db8::8\t00-0C-29-00-00-08\tgone0\t3\t1\t2\n"
                "fe80::1\t00-0C-29-00-00-01\tveth0 (veth)\t3\t1\t2\n"
                "fe80::1\t00-0C-29-00-00-02\tveth1 (veth)\t3\t1\t2\n"
                "fe80::2\t00-0C-29-00-00-03\tgone0\t3\t1\t2\n";
    }
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->adapters = { { 4, "veth0 (veth)" }, { 9, "veth1 (veth)" } };
    CMappingWatcher watcher(std::move(fake));
    StateFile file(state.string(), stderr);
    ASSERT_EQ(file.load(watcher), "");
    struct Loaded {
        const char* key;
        const char* mac;
        std::uint32_t adapter;
    };
    // A global address stays known whatever its interface; a link-local one
    // whose interface is gone cannot be told from the same address elsewhere.
    const Loaded expected[] = {
        { "2001:db8::7", "00-0C-29-00-00-07", 4 },
        { "2001:db8::8", "00-0C-29-00-00-08", 0 },
        { "fe80::1%4", "00-0C-29-00-00-01", 4 },
        { "fe80::1%9", "00-0C-29-00-00-02", 9 },
    };
    ASSERT_EQ(watcher.programCache.size(), std::size(expected));
    for (const Loaded& item : expected) {
        const auto entry = watcher.programCache.find(test::ip(item.key));
        ASSERT_NE(entry, watcher.programCache.end()) << item.key;
        EXPECT_EQ(macText(entry->second->mac.data()), item.mac) << item.key;
        EXPECT_EQ(entry->second->adapterIndex, item.adapter) << item.key;
        EXPECT_EQ(entry->second->address, hostnet::IpAddress(test::ip(item.key))) << item.key;
    }
}

// While changes keep coming the file is written at most once a second; the
// last change reaches it at the next check or at exit.
TEST_F(StateAcrossRuns, WrittenAtMostOnceASecond)
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    hostnet::FakeIpHelper& host = *fake;
    CMappingWatcher watcher(std::move(fake));
    StateFile file(state.string(), stderr);
    ASSERT_EQ(file.load(watcher), "");
    const auto has = [&](const char* address) { return fileText(state).find(address) != std::string::npos; };
    const std::chrono::steady_clock::time_point start {};

    host.netTable = { arpRow("10.0.0.1", "00-0C-29-11-22-33") };
    watcher.refresh();
    file.saveIfDue(watcher, start);
    EXPECT_TRUE(has("10.0.0.1"));

    host.netTable.push_back(arpRow("10.0.0.2", "00-0C-29-11-22-34"));
    watcher.refresh();
    file.saveIfDue(watcher, start + 500ms);
    EXPECT_FALSE(has("10.0.0.2"));
    file.saveIfDue(watcher, start + 1000ms);
    EXPECT_TRUE(has("10.0.0.2"));

    host.netTable.push_back(arpRow("10.0.0.3", "00-0C-29-11-22-35"));
    watcher.refresh();
    file.saveIfDue(watcher, start + 1200ms);
    EXPECT_FALSE(has("10.0.0.3"));
    EXPECT_TRUE(file.save(watcher));
    EXPECT_TRUE(has("10.0.0.3"));
}

}  // namespace
}  // namespace tevra::cli
