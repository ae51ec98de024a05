// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install --prefix /usr` into a DESTDIR of the test's own, once for
// all tests of a suite, and what the installed-tree tests read it with.
#pragma once

#include "Command.h"
#include "FileText.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace tevra::test {

inline bool onPath(const std::string& program)
{
    return runCommand({ "sh", "-c", "command -v \"$0\" > /dev/null", program }).status == 0;
}

class InstalledTree : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        destdir = std::filesystem::temp_directory_path() / ("tevra-install-" + std::to_string(getpid()));
        std::filesystem::remove_all(*destdir);
        installed = runCommand({ "env", "DESTDIR=" + destdir->string(), TEVRA_CMAKE, "--install",
            TEVRA_BUILD_DIR, "--prefix", "/usr" });
    }
    static void TearDownTestSuite()
    {
        std::filesystem::remove_all(*destdir);
        destdir.reset();
        installed.reset();
    }
    void SetUp() override { ASSERT_EQ(installed->status, 0) << installed->out << installed->err; }

    static std::filesystem::path under(const std::string& path) { return *destdir / path; }

    static inline std::optional<std::filesystem::path> destdir;
    static inline std::optional<CommandResult> installed;
};

}  // namespace tevra::test
