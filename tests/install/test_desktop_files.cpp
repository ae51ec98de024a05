// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install --prefix /usr` into a DESTDIR: what a desktop needs to
// offer the window (entry, metainfo, icons) and to let it delete and flush as
// an ordinary user (the helper and its polkit action), each checked with the
// tool that reads it where that tool is installed.
#include "InstalledTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>

namespace tevra::test {
namespace {

namespace fs = std::filesystem;

const std::string kAppId = "org.example.tevra";
const std::string kHelper = "/usr/libexec/tevra/tevra-arp-helper";
// Where polkitd reads actions (pkg-config's policydir), whatever the prefix.
const std::string kActionDir = std::string(TEVRA_POLKIT_ACTION_DIR).starts_with("/")
    ? TEVRA_POLKIT_ACTION_DIR
    : std::string("/usr/") + TEVRA_POLKIT_ACTION_DIR;
const std::string kPolicy = kActionDir.substr(1) + "/" + kAppId + ".policy";
const std::string kMetainfo = "usr/share/metainfo/" + kAppId + ".metainfo.xml";
const std::string kDesktopEntry = "usr/share/applications/" + kAppId + ".desktop";

// Width and height from a PNG's header chunk; nothing when it is no PNG.
std::optional<std::pair<int, int>> pngSize(const fs::path& path)
{
    const std::string bytes = fileText(path).substr(0, 24);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0
        || bytes.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    const auto number = [&bytes](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return std::make_pair(number(16), number(20));
}

// Every first group of `pattern` in `text`.
std::vector<std::string> allMatches(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator();
         ++it)
        found.push_back((*it)[1].str());
    return found;
}

class DesktopFiles : public InstalledTree {
protected:
    void skipWithout(const std::string& program)
    {
        if (!onPath(program))
            GTEST_SKIP() << program << " is not installed";
    }
};

TEST_F(DesktopFiles, HoldsTheIconInEverySize)
{
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        const std::string dimension = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = under("usr/share/icons/hicolor/" + dimension + "/apps/" + kAppId + ".png");
        EXPECT_EQ(pngSize(icon), std::make_pair(size, size)) << icon;
    }
    const std::string scalable = fileText(under("usr/share/icons/hicolor/scalable/apps/" + kAppId + ".svg"));
    EXPECT_NE(scalable.find("<svg"), std::string::npos);
}

TEST_F(DesktopFiles, HelperAndPolicyNameEachOther)
{
    const fs::path helper = under(kHelper.substr(1));
    ASSERT_TRUE(fs::is_regular_file(helper));
    EXPECT_NE(fs::status(helper).permissions() & fs::perms::others_exec, fs::perms::none);
    // Only a helper run by exactly this path gets the action's rules.
    const std::string policy = fileText(under(kPolicy));
    EXPECT_NE(policy.find("<annotate key=\"org.freedesktop.policykit.exec.path\">" + kHelper + "</annotate>"),
        std::string::npos)
        << policy;
    EXPECT_EQ(allMatches(policy, "<allow_active>([^<]*)</allow_active>"),
        std::vector<std::string> { "auth_admin_keep" });
    // Refused argument lists end with 2: the installed helper is the one tested.
    EXPECT_EQ(runCommand({ helper.string(), "list" }).status, 2);
}

// Installed under /usr/local, the action still goes where polkitd reads it,
// and names the helper where that prefix put it.
TEST_F(DesktopFiles, ThePolicyGoesWherePolkitReadsItWhateverThePrefix)
{
    if (!std::string(TEVRA_POLKIT_ACTION_DIR).starts_with("/"))
        GTEST_SKIP() << "the action folder is configured relative to the prefix";
    const fs::path local = fs::temp_directory_path() / ("tevra-install-local-" + std::to_string(getpid()));
    fs::remove_all(local);
    const CommandResult installed = runCommand({ "env", "DESTDIR=" + local.string(), TEVRA_CMAKE, "--install",
        TEVRA_BUILD_DIR, "--prefix", "/usr/local" });
    ASSERT_EQ(installed.status, 0) << installed.err;
    const std::string policy = fileText(local / kPolicy);
    EXPECT_NE(policy.find("<annotate key=\"org.freedesktop.policykit.exec.path\">"
                          "/usr/local/libexec/tevra/tevra-arp-helper</annotate>"),
        std::string::npos)
        << policy;
    EXPECT_FALSE(fs::exists(local / "usr/local/share/polkit-1"));
    fs::remove_all(local);
}

TEST_F(DesktopFiles, PolicyHoldsToPolkitsDocumentType)
{
    const char* dtd = "/usr/share/polkit-1/policyconfig-1.dtd";
    skipWithout("xmllint");
    if (!fs::exists(dtd))
        GTEST_SKIP() << "polkit's document type is not installed";
    const CommandResult checked
        = runCommand({ "xmllint", "--noout", "--dtdvalid", dtd, under(kPolicy).string() });
    EXPECT_EQ(checked.status, 0) << checked.err;
}

TEST_F(DesktopFiles, DesktopEntryValidates)
{
    skipWithout("desktop-file-validate");
    const CommandResult checked = runCommand({ "desktop-file-validate", under(kDesktopEntry).string() });
    EXPECT_EQ(checked.status, 0);
    // Hints count too: none may appear.
    EXPECT_EQ(checked.out + checked.err, "");
    EXPECT_NE(fileText(under(kDesktopEntry)).find("\nIcon=" + kAppId + "\n"), std::string::npos);
}

TEST_F(DesktopFiles, MetainfoValidatesWithTheTreeAroundIt)
{
    skipWithout("appstreamcli");
    const CommandResult file
        = runCommand({ "appstreamcli", "validate", "--no-net", "--pedantic", under(kMetainfo).string() });
    EXPECT_EQ(file.status, 0) << file.out << file.err;
    // The tree check also finds the desktop entry the metainfo launches.
    const CommandResult tree = runCommand({ "appstreamcli", "validate-tree", "--no-net", destdir->string() });
    EXPECT_EQ(tree.status, 0) << tree.out << tree.err;
}

TEST_F(DesktopFiles, MetainfoNamesTheEntryTheReadmesPicturesAndThisVersion)
{
    const std::string metainfo = fileText(under(kMetainfo));
    EXPECT_EQ(allMatches(metainfo, "<id>([^<]*)</id>"), std::vector<std::string> { kAppId });
    EXPECT_EQ(allMatches(metainfo, "<launchable type=\"desktop-id\">([^<]*)</launchable>"),
        std::vector<std::string> { kAppId + ".desktop" });
    EXPECT_EQ(allMatches(metainfo, "<release version=\"([^\"]*)\"").front(), TEVRA_PROJECT_VERSION);

    const std::vector<std::string> pictures
        = allMatches(metainfo, "<image>https://[^<]*/(docs/[^</]*)</image>");
    EXPECT_EQ(pictures.size(), allMatches(metainfo, "<image>([^<]*)</image>").size());
    ASSERT_FALSE(pictures.empty());
    const std::string readme = fileText(fs::path(TEVRA_SOURCE_DIR) / "README.md");
    for (const std::string& picture : pictures) {
        EXPECT_TRUE(fs::is_regular_file(fs::path(TEVRA_SOURCE_DIR) / picture)) << picture;
        EXPECT_NE(readme.find("](" + picture + ")"), std::string::npos) << picture << " is not in the README";
    }
}

}  // namespace
}  // namespace tevra::test
