// Delete and flush of a window that runs without the rights to change the ARP
// table: what the system refuses for want of rights is done again by
// tevra-arp-helper, and what the helper cannot do is said.
#include "Command.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "ui/qt/ElevatingIpHelper.h"
#include "ui/qt/WatcherDlg.h"

#include <QTest>

#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/capability.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

// A stand-in for the helper that writes its arguments to a log, says `said` on
// standard error and ends with `status`: what pkexec and the helper answer.
QStringList recordingHelper(const std::filesystem::path& log, int status, const std::string& said = {})
{
    const std::string script = "printf '%s\\n' \"$*\" >> '" + log.string() + "'; printf '%s\\n' '" + said
        + "' >&2; exit " + std::to_string(status);
    return { QStringLiteral("/bin/sh"), QStringLiteral("-c"), QString::fromStdString(script),
        QStringLiteral("sh") };
}

std::vector<std::string> logLines(const std::filesystem::path& log)
{
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct FallbackCase {
    const char* name;
    hostnet::Failure hostFailure;  // None: the host does it itself
    int helperStatus;
    const char* helperSays;
    std::int32_t result;
    std::vector<std::string> helperRuns;
    const char* error;  // what lastError says afterwards, when the result is -1
    hostnet::Failure failure;
};

const std::vector<FallbackCase> kFallbackCases {
    { "host_does_it", hostnet::Failure::None, 0, "", 0, {}, "", hostnet::Failure::None },
    { "refused_for_rights_helper_does_it", hostnet::Failure::NotPermitted, 0, "", 0,
        { "delete 10.0.0.5 3", "flush 3" }, "", hostnet::Failure::None },
    { "refused_otherwise_no_helper", hostnet::Failure::Other, 0, "", -1, {}, "forced",
        hostnet::Failure::Other },
    { "helper_refused_by_the_kernel", hostnet::Failure::NotPermitted, 1, "tevra-arp-helper: No such device",
        -1, { "delete 10.0.0.5 3", "flush 3" }, "No such device", hostnet::Failure::Other },
    { "consent_dismissed", hostnet::Failure::NotPermitted, 126, "", -1, { "delete 10.0.0.5 3", "flush 3" },
        "the administrator's authentication was dismissed", hostnet::Failure::NotPermitted },
    { "not_authorized", hostnet::Failure::NotPermitted, 127, "", -1, { "delete 10.0.0.5 3", "flush 3" },
        "not authorized to change the ARP table", hostnet::Failure::NotPermitted },
    { "unknown_status", hostnet::Failure::NotPermitted, 9, "", -1, { "delete 10.0.0.5 3", "flush 3" },
        "the helper failed (exit status 9)", hostnet::Failure::Other },
};

class Fallback : public testing::TestWithParam<FallbackCase> { };

TEST_P(Fallback, DeleteAndFlushGoToTheHelperOnlyWhenRefusedForRights)
{
    const FallbackCase& c = GetParam();
    const std::filesystem::path log = std::filesystem::temp_directory_path()
        / ("tevra-fallback-" + std::to_string(getpid()) + "-" + c.name);
    std::filesystem::remove(log);
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    hostnet::FakeIpHelper& host = *fake;
    host.adapters = { { 3, "eth0" } };
    host.netTable = { { 3, 6, { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 }, *parseDottedQuad("10.0.0.5"), 3 } };
    if (c.hostFailure != hostnet::Failure::None) {
        host.deleteResult = -1;
        host.flushResult = -1;
        host.error = "forced";
        host.failure = c.hostFailure;
    }
    ElevatingIpHelper elevating(std::move(fake),
        std::make_unique<HelperLauncher>(recordingHelper(log, c.helperStatus, c.helperSays)));

    hostnet::MibIpNetRow row;
    row.dwIndex = 3;
    row.dwAddr = *parseDottedQuad("10.0.0.5");
    EXPECT_EQ(elevating.deleteIpNetEntry(row), c.result);
    // Every later step is tried again: the person may consent the second time.
    std::vector<std::uint32_t> kept { 1, 2 };
    EXPECT_EQ(elevating.flushIpNetTables({ 3 }, kept), c.result);
    if (c.result == -1) {
        EXPECT_EQ(elevating.lastError(), c.error);
        EXPECT_EQ(elevating.lastFailure(), c.failure);
    }
    if (!c.helperRuns.empty()) {
        EXPECT_TRUE(kept.empty()) << "after the helper nobody can tell which entries stayed";
    }
    EXPECT_EQ(logLines(log), c.helperRuns);
    std::filesystem::remove(log);
}

INSTANTIATE_TEST_SUITE_P(Cases, Fallback, testing::ValuesIn(kFallbackCases),
    [](const testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

TEST(FallbackLauncher, AHelperThatCannotStartIsSaid)
{
    const HelperLauncher launcher({ QStringLiteral("/nonexistent/tevra-arp-helper") });
    const std::optional<HelperLauncher::Failure> failed = launcher.run({ QStringLiteral("flush"), "3" });
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->reason.startsWith("/nonexistent/tevra-arp-helper could not be started"))
        << failed->reason.toStdString();
}

// Takes CAP_NET_ADMIN out of this thread's effective rights for the scope, as
// a window started by an ordinary user has it; the process stays root, so a
// program it starts has every right again, as one started through pkexec has.
class WithoutNetAdmin {
public:
    WithoutNetAdmin() { ok_ = set(CAP_CLEAR); }
    ~WithoutNetAdmin() { set(CAP_SET); }
    WithoutNetAdmin(const WithoutNetAdmin&) = delete;
    WithoutNetAdmin& operator=(const WithoutNetAdmin&) = delete;
    bool ok() const { return ok_; }

private:
    static bool set(cap_flag_value_t value)
    {
        cap_t rights = cap_get_proc();
        const cap_value_t netAdmin = CAP_NET_ADMIN;
        const bool done = rights != nullptr && cap_set_flag(rights, CAP_EFFECTIVE, 1, &netAdmin, value) == 0
            && cap_set_proc(rights) == 0;
        cap_free(rights);
        return done;
    }
    bool ok_ = false;
};

class WindowFallbackTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        namespaces = std::make_unique<NamespacePair>();
        ASSERT_TRUE(namespaces->ok()) << namespaces->error;
        entry = std::make_unique<NamespaceEntry>(namespaces->hostName());
        ASSERT_TRUE(entry->ok());
        for (const char* neighbour : { "10.66.0.5", "10.66.0.6" })
            ASSERT_TRUE(namespaces->ipInHost({ "neigh", "add", neighbour, "lladdr", "00:0c:29:11:22:33",
                "dev", "veth0", "nud", "stale" }));
        ASSERT_TRUE(namespaces->ipInHost({ "neigh", "add", "10.66.0.7", "lladdr", "00:0c:29:44:55:66", "dev",
            "veth0", "nud", "permanent" }));
    }

    std::unique_ptr<CWatcherDlg> window(QStringList helper)
    {
        auto elevating = std::make_unique<ElevatingIpHelper>(
            hostnet::makePlatformIpHelper(), std::make_unique<HelperLauncher>(std::move(helper)));
        auto dlg = std::make_unique<CWatcherDlg>(std::move(elevating));
        dlg->pause = [](int) {};
        dlg->showFailure = [this](const QString& text) { shown.push_back(text.toStdString()); };
        dlg->OnInitDialog();
        dlg->OnTimer();
        return dlg;
    }

    static void select(CWatcherDlg& dlg, const std::string& address)
    {
        MappingListModel& rows = dlg.mappingList.rows();
        dlg.mappingList.clearSelection();
        for (int row = 0; row < rows.rowCount(); ++row)
            if (rows.index(row, 0).data().toString().toStdString() == address)
                dlg.mappingList.selectionModel()->select(
                    rows.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::string neighbours() const
    {
        return runCommand({ "ip", "-n", namespaces->hostName(), "-4", "neigh", "show", "dev", "veth0" }).out;
    }

    std::unique_ptr<NamespacePair> namespaces;
    std::unique_ptr<NamespaceEntry> entry;
    std::vector<std::string> shown;
};

TEST_F(WindowFallbackTest, WithoutRightsTheHelperDeletesAndFlushes)
{
    auto dlg = window({ QString::fromLatin1(TEVRA_ARP_HELPER) });
    const WithoutNetAdmin unprivileged;
    ASSERT_TRUE(unprivileged.ok());
    // The window's own attempt must really be refused, or this proves nothing.
    hostnet::MibIpNetRow row;
    row.dwIndex = if_nametoindex("veth0");
    row.dwAddr = *parseDottedQuad("10.66.0.5");
    const auto plain = hostnet::makePlatformIpHelper();
    ASSERT_EQ(plain->deleteIpNetEntry(row), -1);
    ASSERT_EQ(plain->lastFailure(), hostnet::Failure::NotPermitted);

    select(*dlg, "10.66.0.5");
    dlg->OnDeleteFromSystemCache();
    EXPECT_EQ(shown, std::vector<std::string> {});
    EXPECT_EQ(neighbours().find("10.66.0.5 "), std::string::npos) << neighbours();

    dlg->OnFlushSystemCache();
    EXPECT_EQ(shown, std::vector<std::string> {});
    const std::string left = neighbours();
    EXPECT_EQ(left.find("10.66.0.6 "), std::string::npos) << left;
    EXPECT_NE(left.find("10.66.0.7 "), std::string::npos) << "permanent entries stay: " << left;
}

TEST_F(WindowFallbackTest, WhatTheHelperCannotDoIsSaidOnceAndTheEntryStays)
{
    auto dlg = window({ QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("exit 126"),
        QStringLiteral("sh") });
    const WithoutNetAdmin unprivileged;
    ASSERT_TRUE(unprivileged.ok());
    select(*dlg, "10.66.0.5");
    dlg->OnDeleteFromSystemCache();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("10.66.0.5: the administrator's authentication was dismissed"), std::string::npos)
        << shown[0];
    EXPECT_NE(shown[0].find("This action needs administrator rights."), std::string::npos) << shown[0];
    EXPECT_NE(neighbours().find("10.66.0.5 "), std::string::npos) << neighbours();
}

}  // namespace
}  // namespace tevra::test
