// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-arp-helper run as a process, against the kernel's neighbour table in
// a namespace: what it deletes, what it keeps, and that every argument list
// it refuses leaves the table as it was.
#include "Command.h"
#include "HelperArgumentLists.h"
#include "KernelTest.h"
#include "NamespacePair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tevra::test {
namespace {

// veth0 is the first interface made in the host namespace, after lo.
const std::string kVeth0 = "2";

// Every IPv4 neighbour entry as "<address> <device>", sorted.
std::vector<std::string> neighbourTable(const NamespacePair& namespaces)
{
    const CommandResult listing = runCommand({ "ip", "-n", namespaces.hostName(), "-4", "neigh", "show" });
    std::vector<std::string> entries;
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string address;
        std::string dev;
        std::string device;
        words >> address >> dev >> device;
        entries.push_back(address + " " + device);
    }
    std::ranges::sort(entries);
    return entries;
}

class ArpHelperTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        namespaces = std::make_unique<NamespacePair>();
        ASSERT_TRUE(namespaces->ok()) << namespaces->error;
        // A second link, so that a flush can be seen to keep to its own.
        ASSERT_TRUE(
            namespaces->ipInHost({ "link", "add", "veth2", "type", "veth", "peer", "name", "veth3" }));
        ASSERT_TRUE(namespaces->ipInHost({ "link", "set", "veth2", "up" }));
        const std::vector<std::vector<std::string>> entries {
            { "10.66.0.5", "00:0c:29:00:00:05", "reachable", "veth0" },
            { "10.66.0.6", "00:0c:29:00:00:06", "stale", "veth0" },
            { "10.66.0.7", "00:0c:29:00:00:07", "permanent", "veth0" },
            { "10.77.0.5", "00:0c:29:00:01:05", "reachable", "veth2" },
        };
        for (const auto& entry : entries)
            ASSERT_TRUE(namespaces->ipInHost(
                { "neigh", "add", entry[0], "lladdr", entry[1], "nud", entry[2], "dev", entry[3] }));
        before = neighbourTable(*namespaces);
        ASSERT_EQ(before.size(), 4u);
    }

    // The helper inside the host namespace, optionally without CAP_NET_ADMIN
    // (root's other rights kept, so the build tree stays readable).
    CommandResult runHelper(std::vector<std::string> arguments, bool withoutNetAdmin = false) const
    {
        std::vector<std::string> command { TEVRA_ARP_HELPER };
        if (withoutNetAdmin)
            command
                = { "setpriv", "--bounding-set=-net_admin", "--inh-caps=-net_admin", "--", TEVRA_ARP_HELPER };
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runCommand(namespaces->execInHost(command));
    }

    std::vector<std::string> without(std::initializer_list<std::string> gone) const
    {
        std::vector<std::string> left;
        std::ranges::copy_if(before, std::back_inserter(left),
            [&](const std::string& e) { return !std::ranges::count(gone, e); });
        return left;
    }

    std::unique_ptr<NamespacePair> namespaces;
    std::vector<std::string> before;
};

TEST_F(ArpHelperTest, DeleteRemovesThatEntryOnly)
{
    const CommandResult run = runHelper({ "delete", "10.66.0.5", kVeth0 });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(neighbourTable(*namespaces), without({ "10.66.0.5 veth0" }));
}

TEST_F(ArpHelperTest, FlushRemovesTheDynamicEntriesOfItsInterfaceOnly)
{
    const CommandResult run = runHelper({ "flush", kVeth0 });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // The permanent entry and the other link's entry stay.
    EXPECT_EQ(neighbourTable(*namespaces), without({ "10.66.0.5 veth0", "10.66.0.6 veth0" }));
}

// What the kernel refuses ends with status 1 and its reason, and changes nothing.
struct KernelRefusal {
    const char* name;
    std::vector<std::string> arguments;
    bool withoutNetAdmin;
    const char* reason;
};

class ArpHelperRefusedByKernel : public ArpHelperTest, public testing::WithParamInterface<KernelRefusal> { };

TEST_P(ArpHelperRefusedByKernel, ExitsOneWithTheReason)
{
    const KernelRefusal& refusal = GetParam();
    const CommandResult run = runHelper(refusal.arguments, refusal.withoutNetAdmin);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("tevra-arp-helper: ")) << run.err;
    EXPECT_NE(run.err.find(refusal.reason), std::string::npos) << run.err;
    EXPECT_EQ(neighbourTable(*namespaces), before);
}

INSTANTIATE_TEST_SUITE_P(Kernel, ArpHelperRefusedByKernel,
    testing::Values(
        KernelRefusal { "delete_without_net_admin", { "delete", "10.66.0.5", "2" }, true, "not permitted" },
        KernelRefusal { "flush_without_net_admin", { "flush", "2" }, true, "not permitted" },
        KernelRefusal { "delete_of_an_absent_entry", { "delete", "10.66.0.9", "2" }, false,
            "no such entry in the table" },
        KernelRefusal { "delete_on_the_wrong_interface", { "delete", "10.77.0.5", "2" }, false,
            "no such entry in the table" },
        KernelRefusal { "delete_of_an_absent_ipv6_entry", { "delete", "2001:db8::9", "2" }, false,
            "no such entry in the table" },
        KernelRefusal {
            "delete_on_a_missing_interface", { "delete", "10.66.0.5", "99" }, false, "No such device" },
        KernelRefusal { "flush_of_a_missing_interface", { "flush", "99" }, false, "no interface 99" }),
    [](const auto& info) { return std::string(info.param.name); });

// Every other argument list: status 2, the usage, and the table untouched.
class ArpHelperRefusesArguments : public ArpHelperTest,
                                  public testing::WithParamInterface<RefusedArguments> { };

TEST_P(ArpHelperRefusesArguments, ExitsTwoAndTouchesNothing)
{
    const CommandResult run = runHelper(GetParam().arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with(kHelperUsageStart)) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(neighbourTable(*namespaces), before);
}

INSTANTIATE_TEST_SUITE_P(Arguments, ArpHelperRefusesArguments, testing::ValuesIn(kRefusedHelperArguments),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
