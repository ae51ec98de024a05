// SPDX-License-Identifier: GPL-3.0-or-later
// Delete and flush of a window that runs without the rights to change the ARP
// table: what the system refuses for want of rights is done again by
// tevra-arp-helper, and what the helper cannot do is said.
#include "Command.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "ui/core/ElevatingIpHelper.h"
#include "ui/qt/HelperLauncher.h"
#include "ui/qt/WatcherDlg.h"

#include <QTest>
#include <QTime>

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
    const char* error;  // the reason given in the end, when the result is -1
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

// Runs what the helper was handed and waits for it on the event loop.
std::optional<ElevatedOutcome> helperOutcome(ElevatingIpHelper& elevating)
{
    std::optional<ElevatedOutcome> outcome;
    elevating.runDeferred([&outcome](ElevatedOutcome done) { outcome = std::move(done); });
    EXPECT_FALSE(outcome.has_value()) << "the helper's result comes from the event loop, never at once";
    EXPECT_TRUE(QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 10000));
    return outcome;
}

// A step's result as the caller sees it in the end: the host's own, or the
// helper's once it has ended.
struct StepResult {
    std::int32_t result;
    std::string error;
    hostnet::Failure failure;
};

StepResult finalResult(ElevatingIpHelper& elevating, const hostnet::ActionResult& immediate)
{
    if (!elevating.hasDeferred())
        return { immediate.status, immediate.reason, immediate.kind };
    EXPECT_EQ(immediate.status, -1);
    EXPECT_EQ(immediate.reason, kAwaitingConsent);
    EXPECT_EQ(immediate.kind, hostnet::Failure::NotPermitted);
    const std::optional<ElevatedOutcome> outcome = helperOutcome(elevating);
    if (!outcome || outcome->failures.empty())
        return { 0, {}, hostnet::Failure::None };
    return { -1, outcome->failures.front().reason, outcome->failures.front().kind };
}

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
    host.netTable = { { 3, 6, { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 }, *parseAddress("10.0.0.5"), 3 } };
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
    row.address = *parseAddress("10.0.0.5");
    // Every later command is tried again: the person may consent the second time.
    std::vector<hostnet::IpAddress> kept { hostnet::IpAddress::v4(1), hostnet::IpAddress::v4(2) };
    for (const StepResult& done : { finalResult(elevating, elevating.deleteIpNetEntry(row)),
             finalResult(elevating, elevating.flushIpNetTables({ 3 }, kept)) }) {
        EXPECT_EQ(done.result, c.result);
        if (c.result == -1) {
            EXPECT_EQ(done.error, c.error);
            EXPECT_EQ(done.failure, c.failure);
        }
    }
    if (!c.helperRuns.empty()) {
        EXPECT_TRUE(kept.empty()) << "after the helper nobody can tell which entries stayed";
    }
    EXPECT_EQ(logLines(log), c.helperRuns);
    EXPECT_TRUE(elevating.idle());
    std::filesystem::remove(log);
}

INSTANTIATE_TEST_SUITE_P(Cases, Fallback, testing::ValuesIn(kFallbackCases),
    [](const testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

// Once the person has refused, the command's other rows fail alike instead of
// asking again, and each is said.
TEST(FallbackBatch, ARefusalIsNotAskedAgainWithinOneCommand)
{
    const std::filesystem::path log
        = std::filesystem::temp_directory_path() / ("tevra-fallback-batch-" + std::to_string(getpid()));
    std::filesystem::remove(log);
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->deleteResult = -1;
    fake->failure = hostnet::Failure::NotPermitted;
    ElevatingIpHelper elevating(std::move(fake), std::make_unique<HelperLauncher>(recordingHelper(log, 126)));
    for (const char* address : { "10.0.0.5", "10.0.0.6", "10.0.0.7" })
        EXPECT_EQ(elevating.deleteIpNetEntry({ 3, 6, {}, *parseAddress(address), 3 }).status, -1);
    const std::optional<ElevatedOutcome> outcome = helperOutcome(elevating);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->doneSubjects.empty());
    std::vector<std::string> subjects;
    for (const ActionFailure& failure : outcome->failures) {
        subjects.push_back(failure.subject);
        EXPECT_EQ(failure.kind, hostnet::Failure::NotPermitted);
    }
    EXPECT_EQ(subjects, (std::vector<std::string> { "10.0.0.5", "10.0.0.6", "10.0.0.7" }));
    EXPECT_EQ(logLines(log), std::vector<std::string> { "delete 10.0.0.5 3" });
    std::filesystem::remove(log);
}

// Only delete and flush are the elevating layer's own: the probes and the
// change feed are the host's, so the window discovers and follows as before.
TEST(FallbackPassThrough, ProbesAndTheFeedAreTheHosts)
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    hostnet::FakeIpHelper& host = *fake;
    ElevatingIpHelper elevating(std::move(fake), std::make_unique<HelperLauncher>(QStringList {}));
    EXPECT_EQ(elevating.changeFeed(), host.changeFeed());
    EXPECT_TRUE(elevating.startPing("10.0.0.9").ok());
    EXPECT_TRUE(elevating.startSweep({ *parseDottedQuad("10.0.0.10") }).ok());
    EXPECT_EQ(host.calls.pinged, std::vector<std::string> { "10.0.0.9" });
    EXPECT_EQ(host.calls.swept, std::vector<std::uint32_t> { *parseDottedQuad("10.0.0.10") });
    EXPECT_FALSE(elevating.hasDeferred());
}

TEST(FallbackLauncher, AHelperThatCannotStartIsSaid)
{
    HelperLauncher launcher({ QStringLiteral("/nonexistent/tevra-arp-helper") });
    std::optional<ElevatedResult> said;
    launcher.start({ "flush", "3" }, [&said](ElevatedResult result) { said = std::move(result); });
    ASSERT_TRUE(QTest::qWaitFor([&said] { return said.has_value(); }, 10000));
    ASSERT_TRUE(said->has_value());
    EXPECT_EQ((*said)->reason.rfind("/nonexistent/tevra-arp-helper could not be started", 0), 0u)
        << (*said)->reason;
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

    // The helper answers from the event loop, as the desktop's prompt would.
    static void waitForHelper(CWatcherDlg& dlg)
    {
        auto& elevating = dynamic_cast<ElevatingIpHelper&>(dlg.watcher.ipHelper());
        ASSERT_TRUE(QTest::qWaitFor([&elevating] { return elevating.idle(); }, 20000));
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
    row.address = *parseAddress("10.66.0.5");
    const auto plain = hostnet::makePlatformIpHelper();
    const hostnet::ActionResult refused = plain->deleteIpNetEntry(row);
    ASSERT_EQ(refused.status, -1);
    ASSERT_EQ(refused.kind, hostnet::Failure::NotPermitted);

    select(*dlg, "10.66.0.5");
    dlg->OnDeleteFromSystemCache();
    waitForHelper(*dlg);
    EXPECT_EQ(shown, std::vector<std::string> {});
    EXPECT_EQ(neighbours().find("10.66.0.5 "), std::string::npos) << neighbours();

    dlg->OnFlushSystemCache();
    waitForHelper(*dlg);
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
    waitForHelper(*dlg);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("10.66.0.5: the administrator's authentication was dismissed"), std::string::npos)
        << shown[0];
    EXPECT_NE(shown[0].find("This action needs administrator rights."), std::string::npos) << shown[0];
    EXPECT_NE(neighbours().find("10.66.0.5 "), std::string::npos) << neighbours();
}

// The seconds of the day of an output line's stamp ("3 - 20:05:28: Mapping changed: ...").
int stampSeconds(const std::string& line)
{
    const std::size_t at = line.find(" - ") + 3;
    return std::stoi(line.substr(at, 2)) * 3600 + std::stoi(line.substr(at + 3, 2)) * 60
        + std::stoi(line.substr(at + 6, 2));
}

int secondsOfDayNow()
{
    const QTime now = QTime::currentTime();
    return now.hour() * 3600 + now.minute() * 60 + now.second();
}

// While the desktop's password prompt is open (a stand-in that takes seconds
// before running the helper), the window goes on watching: a change made
// meanwhile is stamped when it happens and said at once, and the command's
// own result comes when the helper ends.
TEST_F(WindowFallbackTest, TheWindowWatchesOnWhileTheHelperWaitsForConsent)
{
    auto dlg = window({ QStringLiteral("/bin/sh"), QStringLiteral("-c"),
        QStringLiteral("sleep 6; exec \"$0\" \"$@\""), QString::fromLatin1(TEVRA_ARP_HELPER) });
    const WithoutNetAdmin unprivileged;
    ASSERT_TRUE(unprivileged.ok());
    auto& elevating = dynamic_cast<ElevatingIpHelper&>(dlg->watcher.ipHelper());
    select(*dlg, "10.66.0.5");
    dlg->OnDeleteFromBothCaches();
    ASSERT_FALSE(elevating.idle()) << "the command returned with the helper still asking";

    QTest::qWait(1000);
    const int changedAt = secondsOfDayNow();
    ASSERT_TRUE(namespaces->ipInHost(
        { "neigh", "replace", "10.66.0.6", "lladdr", "00:0c:29:aa:bb:cc", "dev", "veth0", "nud", "stale" }));
    const auto changeLine = [&dlg]() -> std::optional<std::string> {
        for (int line = 0; line < dlg->outputList.count(); ++line) {
            const std::string text = dlg->outputList.text(line).toStdString();
            if (text.find("Mapping changed: 10.66.0.6 changed from 00-0C-29-11-22-33 to 00-0C-29-AA-BB-CC")
                != std::string::npos)
                return text;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return changeLine().has_value(); }, 4000));
    EXPECT_FALSE(elevating.idle()) << "the change must be said while the helper still waits";
    const int stamped = stampSeconds(*changeLine());
    EXPECT_GE(stamped, changedAt) << *changeLine();
    EXPECT_LE(stamped, changedAt + 2) << *changeLine();
    EXPECT_NE(neighbours().find("10.66.0.5 "), std::string::npos) << "deleted before the consent";

    waitForHelper(*dlg);
    EXPECT_EQ(shown, std::vector<std::string> {});
    EXPECT_EQ(neighbours().find("10.66.0.5 "), std::string::npos) << neighbours();
    const MappingListModel& rows = dlg->mappingList.rows();
    for (int row = 0; row < rows.rowCount(); ++row)
        EXPECT_NE(rows.index(row, 0).data().toString(), QStringLiteral("10.66.0.5"))
            << "what the helper deleted leaves the program cache too";
}

}  // namespace
}  // namespace tevra::test
