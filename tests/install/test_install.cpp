// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install --prefix /usr` into a DESTDIR: the programs, their man
// pages and the systemd unit, each checked with the tool that reads it.
#include "InstalledTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <tuple>

namespace tevra::test {
namespace {

namespace fs = std::filesystem;

const char* const kUnit = "usr/lib/systemd/system/tevra-watch.service";

TEST_F(InstalledTree, HoldsProgramsPagesAndUnit)
{
    std::vector<std::string> files { "usr/bin/tevra-watch", "usr/share/man/man1/tevra-watch.1", kUnit };
    if (TEVRA_WITH_UI)
        files.insert(files.end(),
            { "usr/bin/tevra", "usr/share/man/man1/tevra.1", "usr/share/man/man8/tevra-arp-helper.8" });
    for (const std::string& file : files)
        EXPECT_TRUE(fs::is_regular_file(under(file))) << file;
    const CommandResult version = runCommand({ under("usr/bin/tevra-watch").string(), "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("tevra-watch ")) << version.out;
    // The unit names the program where this prefix put it.
    EXPECT_NE(
        fileText(under(kUnit)).find("\nExecStart=/usr/bin/tevra-watch --json --state %S/tevra/mappings\n"),
        std::string::npos);
}

TEST_F(InstalledTree, ManPagesRender)
{
    // Page, section and the start of its one-line description.
    std::vector<std::tuple<std::string, std::string, std::string>> pages { { "tevra-watch", "1", "watch" } };
    if (TEVRA_WITH_UI) {
        pages.emplace_back("tevra", "1", "watch");
        pages.emplace_back("tevra-arp-helper", "8", "delete");
    }
    for (const auto& [page, section, description] : pages) {
        const CommandResult shown = runCommand({ "env", "MANWIDTH=80", "man", "--warnings", "-l",
            under("usr/share/man/man" + section + "/" + page + "." + section).string() });
        EXPECT_EQ(shown.status, 0) << page;
        EXPECT_EQ(shown.err, "") << page << ": groff's warnings";
        EXPECT_NE(shown.out.find("NAME\n       " + page + " - " + description), std::string::npos)
            << shown.out;
        // Every page shows how it is used.
        EXPECT_NE(shown.out.find("\nEXAMPLES\n"), std::string::npos) << page;
    }
}

// systemd-analyze reads the unit as the service manager would; it needs the
// targets a service depends on, so it gets a root of the installed tree and
// the host's targets.
class UnitAnalysis : public InstalledTree {
protected:
    void SetUp() override
    {
        InstalledTree::SetUp();
        if (!onPath("systemd-analyze"))
            GTEST_SKIP() << "systemd-analyze is not installed";
        root = *destdir / "analysis-root";
        fs::remove_all(root);
        fs::create_directories(root);
        fs::copy(*destdir / "usr", root / "usr", fs::copy_options::recursive);
        for (const char* folder : { "/usr/lib/systemd/system", "/lib/systemd/system" }) {
            std::error_code error;
            for (const auto& unit : fs::directory_iterator(folder, error))
                if (unit.path().extension() == ".target" && unit.is_regular_file())
                    fs::copy(unit.path(), root / "usr/lib/systemd/system", fs::copy_options::skip_existing);
        }
    }

    fs::path root;
};

TEST_F(UnitAnalysis, VerifyAcceptsTheUnit)
{
    const CommandResult verified = runCommand({ "env", "MANPATH=" + (root / "usr/share/man").string(),
        "systemd-analyze", "verify", "--root=" + root.string(), (root / kUnit).string() });
    EXPECT_EQ(verified.status, 0);
    // Unknown or misspelt settings are only warned about: none may appear.
    EXPECT_EQ(verified.out + verified.err, "");
}

TEST_F(UnitAnalysis, SecurityExposureStaysLow)
{
    const CommandResult security = runCommand({ "systemd-analyze", "security", "--offline=yes",
        "--root=" + root.string(), (root / kUnit).string() });
    std::smatch found;
    static const std::regex overall("Overall exposure level for tevra-watch\\.service: (\\d+\\.\\d)");
    ASSERT_TRUE(std::regex_search(security.out, found, overall)) << security.out << security.err;
    const double exposure = std::stod(found[1].str());
    RecordProperty("exposure", found[1].str());
    std::printf("systemd-analyze security: exposure %.1f\n", exposure);
    // 0.7 when written: netlink and Unix sockets and the host's network
    // namespace are what a neighbour table watcher needs.
    EXPECT_LE(exposure, 1.0);
}

}  // namespace
}  // namespace tevra::test
