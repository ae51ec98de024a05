// SPDX-License-Identifier: GPL-3.0-or-later
// What only the real kernel can show of the Linux host layer.
#include "Command.h"
#include "HostFixture.h"
#include "engine/Address.h"
#include "hostnet/linux/DetachedProcess.h"
#include "hostnet/linux/LinuxIpHelper.h"

#include <gtest/gtest.h>

#include <net/if.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

class LinuxIpHelperTest : public HostFixture, public testing::Test {
protected:
    void SetUp() override { startHost(HostKind::Kernel); }
};

// --- Without CAP_NET_ADMIN every change of the table fails, and says why ---

struct UnprivilegedCase {
    const char* name;
    std::vector<Neighbour> table;
};

void PrintTo(const UnprivilegedCase& c, std::ostream* os)
{
    *os << c.name;
}

const UnprivilegedCase kUnprivilegedCases[] = {
    { "dynamic_entry", { { "10.66.0.5", "00:0c:29:00:00:05", Nud::Reachable } } },
    // Nothing a flush would delete: it must still not pass for done.
    { "only_static_entries", { { "10.66.0.5", "00:0c:29:00:00:05", Nud::Permanent } } },
    { "empty_table", {} },
};

class Unprivileged : public HostFixture, public testing::TestWithParam<UnprivilegedCase> {
protected:
    void SetUp() override { startHost(HostKind::Kernel); }
};

TEST_P(Unprivileged, DeleteAndFlushFail)
{
    addAll(GetParam().table);
    const std::vector<std::string> before = host->listedAddresses();
    // A child gives up root, and with it CAP_NET_ADMIN, in the same namespace.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
            _exit(64);
        auto ipHelper = host->makeIpHelper();
        hostnet::MibIpNetRow row;
        row.dwIndex = TestHost::kInterface;
        row.address = hostnet::IpAddress::v4(0x0542420A);  // 10.66.0.5
        const bool readable = ipHelper->getIpNetTable().rows.has_value();
        const hostnet::ActionResult deleted = ipHelper->deleteIpNetEntry(row);
        const bool deleteRefused = deleted.status == -1 && deleted.kind == hostnet::Failure::NotPermitted;
        const hostnet::ActionResult flushed = ipHelper->flushIpNetTable(TestHost::kInterface);
        const bool flushRefused = flushed.status == -1 && flushed.kind == hostnet::Failure::NotPermitted;
        const bool explained = flushed.reason.find("not permitted") != std::string::npos;
        // The engine's flush says so too.
        CMappingWatcher watcher(std::move(ipHelper));
        const bool engineSays = watcher.flushSystemCache() == -1 && watcher.takeActionFailures().size() == 1;
        _exit((readable ? 0 : 1) | (deleteRefused ? 0 : 2) | (flushRefused ? 0 : 4) | (explained ? 0 : 8)
            | (engineSays ? 0 : 16));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: table unreadable, 2: delete passed, 4: flush passed, "
                                         "8: no reason, 16: the engine's flush passed, 64: no drop";
    EXPECT_EQ(host->listedAddresses(), before);
}

INSTANTIATE_TEST_SUITE_P(Tables, Unprivileged, testing::ValuesIn(kUnprivilegedCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinuxIpHelperTest, DeleteOfAnEntryNotInTheTableSaysSo)
{
    const auto ipHelper = host->makeIpHelper();
    hostnet::MibIpNetRow row;
    row.dwIndex = TestHost::kInterface;
    row.address = hostnet::IpAddress::v4(0x0542420A);  // 10.66.0.5
    const hostnet::ActionResult deleted = ipHelper->deleteIpNetEntry(row);
    EXPECT_EQ(deleted.status, -1);
    EXPECT_EQ(deleted.kind, hostnet::Failure::NoSuchEntry);
    EXPECT_EQ(deleted.reason, "deleting a neighbour entry: no such entry in the table");
}

// One read of the table serves every interface; the others' entries stay.
TEST_F(LinuxIpHelperTest, FlushOfSeveralInterfacesTakesOnlyTheirDynamicEntries)
{
    // Programs started from this thread run in the test's namespace.
    const auto run = [](std::vector<std::string> command) { return runCommand(command).status == 0; };
    ASSERT_TRUE(run({ "ip", "link", "add", "second0", "type", "veth", "peer", "name", "third0" }));
    ASSERT_TRUE(run({ "ip", "link", "set", "second0", "up" }));
    ASSERT_TRUE(run({ "ip", "link", "set", "third0", "up" }));
    for (const auto& [address, link, state] :
        { std::tuple { "10.66.0.5", "veth0", "stale" }, { "10.66.0.6", "veth0", "permanent" },
            { "10.70.0.5", "second0", "stale" }, { "10.80.0.5", "third0", "stale" } })
        ASSERT_TRUE(
            run({ "ip", "neigh", "add", address, "lladdr", "00:0c:29:00:00:01", "dev", link, "nud", state }));

    const auto ipHelper = host->makeIpHelper();
    std::vector<hostnet::IpAddress> kept { hostnet::IpAddress::v4(1) };
    const hostnet::ActionResult flushed
        = ipHelper->flushIpNetTables({ TestHost::kInterface, if_nametoindex("second0") }, kept);
    EXPECT_EQ(flushed.status, 0) << flushed.reason;
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(host->listedAddresses(), (std::vector<std::string> { "10.66.0.6", "10.80.0.5" }));
}

// --- Routes, route lookups and the notices of their changes ---

TEST_F(LinuxIpHelperTest, DefaultRoutesAndLookupsAreTheKernels)
{
    const auto run = [](std::vector<std::string> command) { return runCommand(command).status == 0; };
    ASSERT_TRUE(run({ "ip", "route", "add", "default", "via", "10.66.0.254", "metric", "50" }));
    ASSERT_TRUE(run({ "ip", "route", "add", "default", "via", "10.66.0.253", "metric", "10" }));
    ASSERT_TRUE(run({ "ip", "route", "add", "default", "metric", "100", "nexthop", "via", "10.66.0.250",
        "nexthop", "via", "10.66.0.251" }));
    ASSERT_TRUE(run({ "ip", "route", "add", "unreachable", "172.16.0.0/16" }));
    ASSERT_TRUE(run({ "ip", "route", "add", "203.0.113.9/32", "dev", "veth0" }));

    const auto ipHelper = host->makeIpHelper();
    const auto gateway = [](const char* dotted) { return *parseAddress(dotted); };
    const hostnet::ReadResult<hostnet::DefaultRouteRow> routes = ipHelper->getDefaultRoutes();
    ASSERT_TRUE(routes.rows.has_value()) << routes.reason;
    EXPECT_EQ(*routes.rows,
        (std::vector<hostnet::DefaultRouteRow> { { gateway("10.66.0.253"), TestHost::kInterface, 10 },
            { gateway("10.66.0.254"), TestHost::kInterface, 50 },
            { gateway("10.66.0.250"), TestHost::kInterface, 100 },
            { gateway("10.66.0.251"), TestHost::kInterface, 100 } }));
    EXPECT_TRUE(ipHelper->looksUpRoutes());
    using Answer = std::optional<hostnet::RouteAnswer>;
    EXPECT_EQ(ipHelper->lookupRoute(gateway("8.8.8.8")),
        (Answer { { TestHost::kInterface, gateway("10.66.0.253") } }));
    EXPECT_EQ(ipHelper->lookupRoute(gateway("10.66.0.7")),
        (Answer { { TestHost::kInterface, gateway("0.0.0.0") } }));
    EXPECT_EQ(ipHelper->lookupRoute(gateway("203.0.113.9")),
        (Answer { { TestHost::kInterface, gateway("0.0.0.0") } }));
    EXPECT_EQ(ipHelper->lookupRoute(gateway("172.16.0.1")), Answer {});
    const auto adapters = ipHelper->getAdaptersInfo().rows;
    ASSERT_TRUE(adapters && adapters->size() == 1);
    EXPECT_EQ((*adapters)[0].AddressLength, 6u);
}

TEST_F(LinuxIpHelperTest, TheFeedSaysWhenAddressesOrRoutesChange)
{
    const auto ipHelper = host->makeIpHelper();
    hostnet::ChangeFeed& feed = *ipHelper->changeFeed();
    ASSERT_TRUE(feed.open().ok());
    // What was read before the feed opened may already be out of date.
    EXPECT_TRUE(feed.takeConfigurationChanged());
    EXPECT_FALSE(feed.takeConfigurationChanged());
    for (const std::vector<std::string>& change :
        { std::vector<std::string> { "ip", "address", "add", "10.77.0.1/24", "dev", "veth0" },
            { "ip", "route", "add", "172.16.0.0/16", "dev", "veth0" },
            { "ip", "link", "set", "veth0", "mtu", "1400" } }) {
        ASSERT_EQ(runCommand(change).status, 0);
        feed.take();
        EXPECT_TRUE(feed.takeConfigurationChanged()) << change[1];
        EXPECT_FALSE(feed.takeConfigurationChanged()) << change[1];
    }
}

// --- ping is taken from the system's folders, never from PATH ---

TEST_F(LinuxIpHelperTest, PingNeverComesFromTheWorkingFolder)
{
    // An empty PATH element means the working folder; a ping placed there must not run.
    const auto folder = std::filesystem::temp_directory_path() / ("tevra-ping-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto marker = folder / "ran";
    {
        std::ofstream script(folder / "ping");
        script << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    }
    std::filesystem::permissions(folder / "ping", std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    const auto oldFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    setenv("PATH", ":/nonexistent", 1);

    const std::int32_t status = watcher().discoverByPing();
    const int echoes = host->echoRequests("10.66.0.255", 2s);

    setenv("PATH", oldPath.c_str(), 1);
    std::filesystem::current_path(oldFolder);
    const bool ran = std::filesystem::exists(marker);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(ran);
    EXPECT_EQ(echoes, 1);
}

struct ProgramCase {
    const char* name;
    std::vector<const char*> files;  // "folder/name", "folder/name*" executable, "folder/name/" a folder
    const char* found;  // "" for none
};

void PrintTo(const ProgramCase& c, std::ostream* os)
{
    *os << c.name;
}

const ProgramCase kProgramCases[] = {
    { "in_the_second_folder", { "b/ping*" }, "b/ping" },
    { "first_folder_wins", { "a/ping*", "b/ping*" }, "a/ping" },
    { "not_executable_passed_over", { "a/ping", "b/ping*" }, "b/ping" },
    { "folder_of_that_name_passed_over", { "a/ping/", "b/ping*" }, "b/ping" },
    { "nowhere", { "a/other*" }, "" },
};

class SystemProgram : public testing::TestWithParam<ProgramCase> { };

TEST_P(SystemProgram, IsTheFirstExecutableFileInTheFolders)
{
    const auto root = std::filesystem::temp_directory_path()
        / ("tevra-programs-" + std::to_string(getpid()) + "-" + GetParam().name);
    for (const char* folder : { "a", "b" })
        std::filesystem::create_directories(root / folder);
    for (std::string file : GetParam().files) {
        const char kind = file.back();
        if (kind == '*' || kind == '/')
            file.pop_back();
        if (kind == '/') {
            std::filesystem::create_directories(root / file);
            continue;
        }
        std::ofstream(root / file) << "#!/bin/sh\n";
        std::filesystem::permissions(root / file,
            kind == '*' ? std::filesystem::perms::owner_all : std::filesystem::perms::owner_read);
    }
    const std::string found
        = hostnet::findSystemProgram("ping", { (root / "a").string(), (root / "b").string() });
    EXPECT_EQ(found, *GetParam().found == '\0' ? "" : (root / GetParam().found).string());
    std::filesystem::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Folders, SystemProgram, testing::ValuesIn(kProgramCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
