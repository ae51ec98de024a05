// What only the real kernel can show of the Linux host layer.
#include "HostFixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace tevra::test {
namespace {

class LinuxIpHelperTest : public HostFixture, public testing::Test {
protected:
    void SetUp() override { startHost(HostKind::Kernel); }
};

TEST_F(LinuxIpHelperTest, DeleteAndFlushFailWithoutNetAdmin)
{
    addAll({ { "10.66.0.5", "00:0c:29:00:00:05", Nud::Reachable } });
    // A child gives up root, and with it CAP_NET_ADMIN, in the same namespace.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
            _exit(10);
        const auto ipHelper = host->makeIpHelper();
        hostnet::MibIpNetRow row;
        row.dwIndex = TestHost::kInterface;
        row.dwAddr = 0x0542420A;  // 10.66.0.5
        const bool readable = ipHelper->getIpNetTable().has_value();
        const bool deleteFailed = ipHelper->deleteIpNetEntry(row) == -1;
        const bool flushFailed = ipHelper->flushIpNetTable(TestHost::kInterface) == -1;
        const bool explained = ipHelper->lastError().find("not permitted") != std::string::npos;
        _exit((readable ? 0 : 1) | (deleteFailed ? 0 : 2) | (flushFailed ? 0 : 4) | (explained ? 0 : 8));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: table unreadable, 2: delete passed, 4: flush passed, 8: no reason";
    EXPECT_EQ(host->listedAddresses(), (std::vector<std::string> { "10.66.0.5" }));
}

}  // namespace
}  // namespace tevra::test
