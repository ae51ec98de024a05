// SPDX-License-Identifier: GPL-3.0-or-later
// Saving over every kind of path a user can pick, on real files.
#include "ui/core/UserFile.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace tevra {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
const std::string kNewText = "IP\tMAC\t\r\n\r\n10.0.0.1\t00-0C-29-11-22-33\t\r\n";
const std::string kOldText = "the user's old text\n";

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

struct stat statOf(const fs::path& file)
{
    struct stat status { };
    lstat(file.c_str(), &status);
    return status;
}

struct Where {
    fs::path folder;
    fs::path target;  // the path the user picked
};

struct SaveCase {
    const char* name;
    bool needsRoot;
    bool asNobody;  // saved by an ordinary user, not root
    std::function<void(const Where&)> make;
    bool saved;
    std::function<void(const Where&, const struct stat& before)> check;
};

void PrintTo(const SaveCase& c, std::ostream* os)
{
    *os << c.name;
}

void oldFile(const Where& at)
{
    writeText(at.target, kOldText);
}

void expectNew(const fs::path& file)
{
    EXPECT_EQ(contentOf(file), kNewText);
}

void expectUntouched(const Where& at, const struct stat& before)
{
    const struct stat after = statOf(at.target);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_rdev, before.st_rdev);
}

const SaveCase kSaveCases[] = {
    { "new_file", false, false, [](const Where&) {}, true,
        [](const Where& at, const struct stat&) {
            expectNew(at.target);
            EXPECT_EQ(statOf(at.target).st_mode, S_IFREG | 0644);  // with the test's umask 022
        } },
    { "regular_file_replaced_with_its_mode", false, false,
        [](const Where& at) {
            oldFile(at);
            chmod(at.target.c_str(), 0640);
        },
        true,
        [](const Where& at, const struct stat& before) {
            expectNew(at.target);
            EXPECT_EQ(statOf(at.target).st_mode, S_IFREG | 0640);
            EXPECT_NE(statOf(at.target).st_ino, before.st_ino);  // a whole new file took its place
            EXPECT_EQ(std::distance(fs::directory_iterator(at.folder), fs::directory_iterator()), 1);
        } },
    { "other_users_file_keeps_its_owner", true, false,
        [](const Where& at) {
            oldFile(at);
            chown(at.target.c_str(), kNobody, kNobody);
        },
        true,
        [](const Where& at, const struct stat&) {
            expectNew(at.target);
            EXPECT_EQ(statOf(at.target).st_uid, kNobody);
            EXPECT_EQ(statOf(at.target).st_gid, kNobody);
        } },
    { "hard_link_written_in_place", false, false,
        [](const Where& at) {
            oldFile(at);
            fs::create_hard_link(at.target, at.folder / "second-name");
        },
        true,
        [](const Where& at, const struct stat& before) {
            expectNew(at.target);
            expectNew(at.folder / "second-name");
            EXPECT_EQ(statOf(at.target).st_ino, before.st_ino);
            EXPECT_EQ(statOf(at.target).st_nlink, 2u);
        } },
    { "link_to_a_file_writes_the_file", false, false,
        [](const Where& at) {
            writeText(at.folder / "real", kOldText);
            fs::create_symlink("real", at.target);
        },
        true,
        [](const Where& at, const struct stat&) {
            EXPECT_TRUE(fs::is_symlink(at.target));
            expectNew(at.folder / "real");
        } },
    { "fifo_refused", false, false, [](const Where& at) { mkfifo(at.target.c_str(), 0644); }, false,
        expectUntouched },
    { "socket_refused", false, false,
        [](const Where& at) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            at.target.string().copy(address.sun_path, sizeof address.sun_path - 1);
            bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            close(fd);
        },
        false, expectUntouched },
    { "directory_refused", false, false, [](const Where& at) { fs::create_directory(at.target); }, false,
        expectUntouched },
    // A device node like /dev/null, made here rather than touching the real one.
    { "device_refused", true, false,
        [](const Where& at) { mknod(at.target.c_str(), S_IFCHR | 0666, makedev(1, 3)); }, false,
        expectUntouched },
    { "link_to_a_fifo_refused", false, false,
        [](const Where& at) {
            mkfifo((at.folder / "fifo").c_str(), 0644);
            fs::create_symlink("fifo", at.target);
        },
        false,
        [](const Where& at, const struct stat& before) {
            expectUntouched(at, before);
            EXPECT_TRUE(fs::is_fifo(at.folder / "fifo"));
        } },
    { "dangling_link_refused", false, false,
        [](const Where& at) { fs::create_symlink("nowhere", at.target); }, false,
        [](const Where& at, const struct stat& before) {
            expectUntouched(at, before);
            EXPECT_FALSE(fs::exists(at.folder / "nowhere"));
        } },
    // The user may write the file but not make a new one beside it.
    { "writable_file_in_a_closed_folder", true, true,
        [](const Where& at) {
            oldFile(at);
            chown(at.target.c_str(), kNobody, kNobody);
            chmod(at.folder.c_str(), 0755);
        },
        true,
        [](const Where& at, const struct stat& before) {
            expectNew(at.target);
            EXPECT_EQ(statOf(at.target).st_ino, before.st_ino);
        } },
    // The user may write root's file through its group, but a new file would be theirs.
    { "group_writable_file_of_another_owner", true, true,
        [](const Where& at) {
            oldFile(at);
            chown(at.target.c_str(), 0, kNobody);
            chmod(at.target.c_str(), 0664);
            chmod(at.folder.c_str(), 0777);
        },
        true,
        [](const Where& at, const struct stat&) {
            expectNew(at.target);
            EXPECT_EQ(statOf(at.target).st_uid, 0u);
            EXPECT_EQ(statOf(at.target).st_gid, kNobody);
        } },
};

class SaveOver : public testing::TestWithParam<SaveCase> {
protected:
    void SetUp() override
    {
        if (GetParam().needsRoot && geteuid() != 0)
            GTEST_SKIP() << "this case needs root";
        umask(022);
        std::string pattern = (fs::temp_directory_path() / "tevra-save-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        where_ = { pattern, fs::path(pattern) / "mapping.txt" };
    }
    void TearDown() override
    {
        if (!where_.folder.empty())
            fs::remove_all(where_.folder);
    }

    // The save as the test's user, or in a child that became an ordinary user.
    bool save() const
    {
        if (!GetParam().asNobody)
            return writeUserFile(where_.target.string(), kNewText);
        const pid_t child = fork();
        if (child == 0) {
            const bool dropped = setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0
                && setresuid(kNobody, kNobody, kNobody) == 0;
            _exit(dropped && writeUserFile(where_.target.string(), kNewText) ? 0 : 1);
        }
        int status = 0;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
            && WEXITSTATUS(status) == 0;
    }

    Where where_;
};

TEST_P(SaveOver, WritesOnlyTheUsersFile)
{
    const SaveCase& c = GetParam();
    c.make(where_);
    const struct stat before = statOf(where_.target);
    EXPECT_EQ(save(), c.saved);
    c.check(where_, before);
}

INSTANTIATE_TEST_SUITE_P(PathKinds, SaveOver, testing::ValuesIn(kSaveCases),
    [](const auto& info) { return std::string(info.param.name); });

// A write that fails part way (here the file size limit) leaves the old file whole.
TEST(SaveFailure, KeepsTheOldFile)
{
    std::string pattern = (fs::temp_directory_path() / "tevra-save-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path target = fs::path(pattern) / "output.txt";
    writeText(target, kOldText);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 4096, 4096 };
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeUserFile(target.string(), std::string(64 * 1024, 'x')) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(contentOf(target), kOldText);
    EXPECT_EQ(std::distance(fs::directory_iterator(pattern), fs::directory_iterator()), 1);
    fs::remove_all(pattern);
}

}  // namespace
}  // namespace tevra
