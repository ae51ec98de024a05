// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts to the journal, as under systemd: the real tevra-watch with its
// output on a stream named in JOURNAL_STREAM, and a journal socket of the
// test's own, in a mount namespace where /run is a fresh tmpfs, receiving
// the native protocol that libsystemd speaks.
#include "Command.h"
#include "FileText.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "WatchProgram.h"
#include "cli/Journal.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace tevra::test {
namespace {

namespace fs = std::filesystem;

std::string streamName(int fd)
{
    struct stat status { };
    fstat(fd, &status);
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

enum class Journal { Listening, Gone, NotListening };

struct JournalCase {
    const char* name;
    Journal journal;
    bool streamMatches;  // JOURNAL_STREAM names our stdout
    bool json;
    bool toJournal;
};

void PrintTo(const JournalCase& c, std::ostream* os)
{
    *os << c.name;
}

const JournalCase kJournalCases[] = {
    { "text_to_journal", Journal::Listening, true, false, true },
    { "json_to_journal", Journal::Listening, true, true, true },
    { "journal_gone_prints_instead", Journal::Gone, true, false, false },
    { "journal_not_listening_prints_instead", Journal::NotListening, true, false, false },
    { "stream_redirected_elsewhere", Journal::Listening, false, false, false },
};

// What the child left in `folder`: "out" and "err" of tevra-watch, its
// "status", and one "entry.N" per datagram the journal socket received.
void runInChild(const JournalCase& c, const std::string& netns, const fs::path& folder)
{
    const int net = open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    if (net < 0 || unshare(CLONE_NEWNS) != 0
        || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0)
        _exit(3);
    mkdir("/run/systemd", 0755);
    mkdir("/run/systemd/journal", 0755);
    const int journal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "/run/systemd/journal/socket");
    if (c.journal != Journal::Gone
        && bind(journal, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        _exit(4);
    // The socket file stays, with nobody behind it.
    if (c.journal == Journal::NotListening)
        close(journal);
    const int out = open((folder / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const int err = open((folder / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const int other = open((folder / "other").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    setenv("JOURNAL_STREAM", streamName(c.streamMatches ? out : other).c_str(), 1);
    if (setns(net, CLONE_NEWNET) != 0)
        _exit(5);
    std::vector<std::string> arguments { kWatch, "--once" };
    if (c.json)
        arguments.push_back("--json");
    const pid_t pid = spawnWithOutput(arguments, out, err);
    if (pid < 0)
        _exit(6);
    const int status = waitForExit(pid);
    std::ofstream(folder / "status") << status;
    char buffer[65536];
    for (int n = 0;; ++n) {
        const ssize_t length = recv(journal, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length <= 0)
            break;
        std::ofstream(folder / ("entry." + std::to_string(n)), std::ios::binary)
            .write(buffer, std::streamsize(length));
    }
    _exit(0);
}

// A native-protocol datagram's fields; every value here is one line.
std::map<std::string, std::string> fields(const std::string& datagram)
{
    std::map<std::string, std::string> result;
    std::istringstream lines(datagram);
    for (std::string line; std::getline(lines, line);)
        if (const auto at = line.find('='); at != std::string::npos)
            result[line.substr(0, at)] = line.substr(at + 1);
    return result;
}

// A namespace pair and a fresh folder for what the journal stand-in keeps.
class JournalTest : public NamespacePairTest {
protected:
    void SetUp() override
    {
        NamespacePairTest::SetUp();
        if (kernelMissing())
            return;
        folder = fs::temp_directory_path() / ("tevra-journal-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

class JournalOutput : public JournalTest, public testing::WithParamInterface<JournalCase> { };

TEST_P(JournalOutput, AlertsGoWhereTheStreamSays)
{
    const JournalCase& c = GetParam();
    ASSERT_TRUE(namespaces.ipInHost(
        { "neigh", "add", "10.66.0.99", "lladdr", "ff:ff:ff:ff:ff:ff", "dev", "veth0", "nud", "permanent" }));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        runInChild(c, namespaces.hostName(), folder);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child failed at step " << WEXITSTATUS(status);
    EXPECT_EQ(fileText(folder / "status"), "0") << fileText(folder / "err");

    const std::string out = fileText(folder / "out");
    if (!c.toJournal) {
        EXPECT_FALSE(fs::exists(folder / "entry.0"));
        EXPECT_NE(out.find("Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF\n"),
            std::string::npos)
            << out;
        if (c.journal != Journal::NotListening) {
            EXPECT_EQ(fileText(folder / "err"), "");
        } else {
            EXPECT_TRUE(
                fileText(folder / "err").starts_with("tevra-watch: the journal did not take an alert"))
                << fileText(folder / "err");
        }
        return;
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(fileText(folder / "err"), "");
    ASSERT_TRUE(fs::exists(folder / "entry.0"));
    EXPECT_FALSE(fs::exists(folder / "entry.1"));
    auto entry = fields(fileText(folder / "entry.0"));
    EXPECT_EQ(entry["PRIORITY"], "4");
    EXPECT_EQ(entry["SYSLOG_IDENTIFIER"], "tevra-watch");
    EXPECT_EQ(entry["TEVRA_KIND"], "broadcast-mac");
    EXPECT_EQ(entry["TEVRA_ADDRESS"], "10.66.0.99");
    EXPECT_EQ(entry["TEVRA_MAC"], "FF-FF-FF-FF-FF-FF");
    EXPECT_FALSE(entry.contains("TEVRA_PREVIOUS_MAC"));
    EXPECT_EQ(entry["TEVRA_INTERFACE"], "veth0 (veth)");
    const std::string line
        = c.json ? nlohmann::json::parse(entry["MESSAGE"])["text"].get<std::string>() : entry["MESSAGE"];
    EXPECT_TRUE(line.starts_with(entry["TEVRA_SERIAL"] + " - ")) << line;
    EXPECT_TRUE(line.ends_with(": Broadcast MAC assigned: 10.66.0.99 has broadcast MAC FF-FF-FF-FF-FF-FF"))
        << line;
}

INSTANTIATE_TEST_SUITE_P(Cases, JournalOutput, testing::ValuesIn(kJournalCases),
    [](const auto& info) { return std::string(info.param.name); });

class JournalOutputFlood : public JournalTest, public testing::WithParamInterface<bool> { };

// The journal stand-in of runInChild for a watch through a flood: each entry
// kept with when it came ("entry.N", "time.N" in ms), and the flood of
// `batch` started once the first alert is in.
void runFloodInChild(const std::string& netns, const fs::path& folder, const std::string& batch, bool json)
{
    const int net = open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    if (net < 0 || unshare(CLONE_NEWNS) != 0
        || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0)
        _exit(3);
    mkdir("/run/systemd", 0755);
    mkdir("/run/systemd/journal", 0755);
    const int journal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "/run/systemd/journal/socket");
    if (bind(journal, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        _exit(4);
    const int out = open((folder / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const int err = open((folder / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    setenv("JOURNAL_STREAM", streamName(out).c_str(), 1);
    if (setns(net, CLONE_NEWNET) != 0)
        _exit(5);
    std::vector<std::string> arguments { kWatch, "--interval", "60000" };
    if (json)
        arguments.push_back("--json");
    const pid_t watch = spawnWithOutput(arguments, out, err);
    if (watch < 0)
        _exit(6);
    const auto start = std::chrono::steady_clock::now();
    const auto elapsedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    pid_t flood = -1;
    long floodEndMs = -1;
    int status = -1;
    char buffer[65536];
    for (int n = 0; elapsedMs() < 30000;) {
        pollfd wait { journal, POLLIN, 0 };
        if (poll(&wait, 1, 50) > 0) {
            const ssize_t length = recv(journal, buffer, sizeof buffer, MSG_DONTWAIT);
            if (length > 0) {
                std::ofstream(folder / ("entry." + std::to_string(n)), std::ios::binary)
                    .write(buffer, std::streamsize(length));
                std::ofstream(folder / ("time." + std::to_string(n))) << elapsedMs();
                ++n;
            }
            if (flood < 0)
                flood = spawnWithOutput({ "ip", "-batch", batch }, err, err);
            continue;
        }
        if (flood > 0 && floodEndMs < 0 && waitpid(flood, nullptr, WNOHANG) == flood) {
            floodEndMs = elapsedMs();
        } else if (floodEndMs >= 0 && elapsedMs() > floodEndMs + 2500 && status < 0) {
            // Past the last summary's second: the end must say nothing more.
            kill(watch, SIGTERM);
            status = waitForExit(watch);
            floodEndMs = elapsedMs() + 100000;
        } else if (status >= 0) {
            break;  // and nothing came in 50 ms after the end
        }
    }
    if (status < 0) {
        kill(watch, SIGKILL);
        waitForExit(watch);
    }
    std::ofstream(folder / "status") << status;
    _exit(0);
}

// Under a flood the journal gets at most 100 alert entries a second and, for
// each second past that, one entry of kind alerts-not-logged with the count of
// each kind; together they account for every alert. With --json the
// summary's message is a JSON object too.
TEST_P(JournalOutputFlood, AHundredEntriesASecondThenCounts)
{
    const bool json = GetParam();
    constexpr int kAddresses = 100;
    constexpr int kChanges = 3000;
    std::string batch;
    for (int i = 0; i < kAddresses; ++i)
        ASSERT_TRUE(namespaces.ipInHost({ "neigh", "add", "10.66.1." + std::to_string(i + 1), "lladdr",
            "02:00:" + std::to_string(i) + ":00:00:00", "dev", "veth0", "nud", "permanent" }));
    // Each address's MACs are its own, so that every change is one mapping
    // change and never a MAC another address holds.
    for (int i = 0; i < kChanges; ++i)
        batch += "neigh replace 10.66.1." + std::to_string(i % kAddresses + 1)
            + " lladdr 02:00:" + std::to_string(i % kAddresses)
            + ":00:" + std::to_string(10 + i / kAddresses % 80) + ":01 dev veth0 nud permanent\n";
    std::ofstream(folder / "batch") << batch;
    ASSERT_TRUE(namespaces.ipInHost(
        { "neigh", "add", "10.66.0.99", "lladdr", "ff:ff:ff:ff:ff:ff", "dev", "veth0", "nud", "permanent" }));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        runFloodInChild(namespaces.hostName(), folder, (folder / "batch").string(), json);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child failed at step " << WEXITSTATUS(status);
    EXPECT_EQ(fileText(folder / "status"), "0") << fileText(folder / "err");
    EXPECT_EQ(fileText(folder / "out"), "");

    std::vector<long> alertTimes;
    std::uint64_t counted = 0;
    int summaries = 0;
    for (int n = 0; fs::exists(folder / ("entry." + std::to_string(n))); ++n) {
        auto entry = fields(fileText(folder / ("entry." + std::to_string(n))));
        if (entry["TEVRA_KIND"] != "alerts-not-logged") {
            alertTimes.push_back(std::stol(fileText(folder / ("time." + std::to_string(n)))));
            continue;
        }
        ++summaries;
        EXPECT_EQ(entry["PRIORITY"], "4");
        EXPECT_EQ(entry["TEVRA_COUNT"], entry["TEVRA_COUNT_MAPPING_CHANGED"]);
        std::string text = entry["MESSAGE"];
        if (json) {
            const nlohmann::json message = nlohmann::json::parse(entry["MESSAGE"]);
            EXPECT_EQ(message["kind"], "alerts-not-logged");
            EXPECT_EQ(message["count"].dump(), entry["TEVRA_COUNT"]);
            EXPECT_EQ(message["kinds"], nlohmann::json({ { "mapping-changed", message["count"] } }));
            text = message["text"];
        }
        EXPECT_TRUE(text.starts_with(
            entry["TEVRA_COUNT"] + " alerts of the last second are not in the journal one by one"))
            << text;
        counted += std::stoull(entry["TEVRA_COUNT"]);
    }
    EXPECT_GE(summaries, 1);
    // The broadcast MAC at the start, then one alert per change.
    EXPECT_EQ(alertTimes.size() + counted, std::size_t(kChanges + 1));
    // Any span of a second meets at most two of the pace's seconds.
    for (std::size_t i = 0; i < alertTimes.size(); ++i) {
        const auto within = std::ranges::count_if(
            alertTimes, [&](long t) { return t >= alertTimes[i] && t < alertTimes[i] + 1000; });
        EXPECT_LE(within, 200) << "from " << alertTimes[i] << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, JournalOutputFlood, testing::Bool(),
    [](const auto& info) { return std::string(info.param ? "json" : "text"); });

TEST(JournalStream, MatchesOnlyTheStreamItNames)
{
    std::FILE* file = std::tmpfile();
    const std::string own = streamName(fileno(file));
    const std::pair<std::optional<std::string>, bool> cases[] = {
        { std::nullopt, false },
        { "", false },
        { "garbage", false },
        { "1:2", false },
        { own + "x", false },
        { own, true },
    };
    for (const auto& [value, matches] : cases) {
        if (!value)
            unsetenv("JOURNAL_STREAM");
        else
            setenv("JOURNAL_STREAM", value->c_str(), 1);
        EXPECT_EQ(cli::isJournalStream(file), matches) << value.value_or("(unset)");
    }
    unsetenv("JOURNAL_STREAM");
    std::fclose(file);
}

}  // namespace
}  // namespace tevra::test
