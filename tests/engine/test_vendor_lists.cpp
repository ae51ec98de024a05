// SPDX-License-Identifier: GPL-3.0-or-later
// The registry lists the system keeps, read when the program starts: from the
// folder TEVRA_IEEE_DATA names, in real files the tests write.
#include "EngineFixture.h"
#include "engine/VendorTable.h"
#include "tests/support/Environment.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tevra::test {
namespace {

namespace fs = std::filesystem;

// Sets (or, with nothing, unsets) an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value)
        : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { set(old_); }

private:
    void set(const std::optional<std::string>& value) const { setVariable(name_, value); }

    const char* name_;
    std::optional<std::string> old_;
};

const char* const kHeader = "Registry,Assignment,Organization Name,Organization Address\r\n";

// Small lists in ieee-data's layout, one block in each, with the quirks of the real ones.
void writeFourLists(const TempFolder& folder)
{
    folder.write("oui.csv",
        std::string(kHeader) + "MA-L,00000C,Cisco Systems Test,\"170 West Tasman Dr.\nSan Jose\"\r\n"
            + "MA-L,AABBCC,\"Box, Inc.\",x\r\n" + "MA-L,AABBCC,Second Line Loses,x\r\n"
            + "MA-L,70B3D5,IEEE Registration Authority,445 Hoes Lane\r\n" + "MA-L,AABBC,Too Short,x\r\n");
    folder.write("mam.csv", std::string(kHeader) + "MA-M,AABBCD1,\"Block \"\"M\"\", Ltd\",x\r\n");
    folder.write("oui36.csv", std::string(kHeader) + "MA-S,70B3D5F2F,  Small Block  ,x\r\n");
    folder.write(
        "iab.csv", std::string(kHeader) + "IAB,0050C27D5,\"Old, Block\",x\r\nMA-S,0050C27D6,Wrong,x\r\n");
}

class VendorLists : public EngineTest {
protected:
    std::optional<std::string> vendorOf(const char* mac)
    {
        refreshWith({ row("10.0.0.1", mac) });
        return entry("10.0.0.1").vendor;
    }
    TempFolder folder;
};

TEST_F(VendorLists, TheFourListsInTevraIeeeDataNameEveryKindOfBlock)
{
    ASSERT_TRUE(folder.ok());
    writeFourLists(folder);
    const ScopedEnv env("TEVRA_IEEE_DATA", folder.path());
    watcher.loadVendorTable();

    EXPECT_EQ(vendorOf("00-00-0C-12-34-56"), "Cisco Systems Test");
    EXPECT_EQ(vendorOf("AA-BB-CC-00-00-01"), "Box, Inc.");
    EXPECT_EQ(vendorOf("AA-BB-CD-10-00-01"), "Block \"M\", Ltd");
    EXPECT_EQ(vendorOf("70-B3-D5-F2-F0-01"), "Small Block");
    EXPECT_EQ(vendorOf("70-B3-D5-F2-E0-01"), "IEEE Registration Authority");
    EXPECT_EQ(vendorOf("00-50-C2-7D-50-01"), "Old, Block");
    EXPECT_EQ(vendorOf("00-00-6C-00-00-01"), std::nullopt);  // only in the compiled-in copy
    EXPECT_EQ(vendorOf("06-00-00-00-00-01"), "locally administered");

    EXPECT_EQ(watcher.vendorTable.skippedLines(), 2u);
    const std::vector<VendorListInfo> lists = watcher.vendorTable.lists();
    ASSERT_EQ(lists.size(), 4u);
    for (std::size_t i = 0; i < lists.size(); ++i)
        EXPECT_EQ(lists[i].source, folder.file(kVendorRegistries[i].fileName)) << lists[i].registry;
}

// A list that is missing, or gives no block at all, would hide every name of
// its registry; the compiled-in copy stands in for it.
TEST_F(VendorLists, MissingOrSpoiltListsGiveTheCompiledInCopy)
{
    ASSERT_TRUE(folder.ok());
    folder.write("oui.csv", "MA-L,00000C,Cisco Systems Test,x\rMA-L,00000D,Another,x\r");
    folder.write("mam.csv", std::string(kHeader) + "MA-M,AABBCD1,Block M,x\r\n");
    fs::create_directory(folder.file("iab.csv"));  // cannot be read as a file
    const ScopedEnv env("TEVRA_IEEE_DATA", folder.path());
    watcher.loadVendorTable();

    EXPECT_EQ(vendorOf("00-00-0C-12-34-56"), "Cisco Systems, Inc");
    EXPECT_EQ(vendorOf("AA-BB-CD-10-00-01"), "Block M");
    EXPECT_EQ(vendorOf("00-50-C2-7D-50-01"), "DEUTA-WERKE GmbH");
    const std::vector<VendorListInfo> lists = watcher.vendorTable.lists();
    EXPECT_EQ(lists[0].source, "");  // MA-S
    EXPECT_EQ(lists[1].source, "");  // IAB
    EXPECT_EQ(lists[2].source, folder.file("mam.csv"));
    EXPECT_EQ(lists[3].source, "");  // MA-L
}

TEST_F(VendorLists, EachListFromTheFirstFolderThatHasIt)
{
    TempFolder updated;  // as update-ieee-data leaves /var/lib/ieee-data
    ASSERT_TRUE(folder.ok());
    ASSERT_TRUE(updated.ok());
    writeFourLists(folder);
    updated.write("mam.csv", "MA-M,AABBCD1,Updated Block M,x\r\n");
    watcher.vendorTable.load({ updated.path(), folder.path() });
    EXPECT_EQ(vendorOf("AA-BB-CD-10-00-01"), "Updated Block M");
    EXPECT_EQ(vendorOf("AA-BB-CC-00-00-01"), "Box, Inc.");
}

struct FolderCase {
    const char* name;
    std::optional<std::string> tevraIeeeData;
    std::vector<std::string> folders;
};

void PrintTo(const FolderCase& c, std::ostream* os)
{
    *os << c.name;
}

const FolderCase kFolderCases[] = {
    { "unset", std::nullopt, { "/var/lib/ieee-data", "/usr/share/ieee-data" } },
    { "empty", "", { "/var/lib/ieee-data", "/usr/share/ieee-data" } },
    { "set", "/home/user/lists", { "/home/user/lists" } },
};

class ListFolders : public testing::TestWithParam<FolderCase> { };

TEST_P(ListFolders, TevraIeeeDataStandsForTheSystemFolders)
{
    const ScopedEnv env("TEVRA_IEEE_DATA", GetParam().tevraIeeeData);
    EXPECT_EQ(VendorTable::listFolders(), GetParam().folders);
}

INSTANTIATE_TEST_SUITE_P(Environment, ListFolders, testing::ValuesIn(kFolderCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VendorLists, AFolderWithoutListsGivesTheCompiledInCopy)
{
    const ScopedEnv env("TEVRA_IEEE_DATA", folder.path() + "/none");
    watcher.loadVendorTable();
    VendorTable compiledIn;
    compiledIn.loadEmbedded();
    EXPECT_EQ(watcher.vendorTable.size(), compiledIn.size());
    EXPECT_EQ(vendorOf("00-00-0C-12-34-56"), "Cisco Systems, Inc");
}

}  // namespace
}  // namespace tevra::test
