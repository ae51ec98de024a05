// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-watch: the watcher for a terminal.
#include "cli/ConsoleWatch.h"
#include "cli/WatchOptions.h"
#include "hostnet/IpHelper.h"

#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const tevra::cli::ParsedArguments parsed = tevra::cli::parseWatchArguments(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "tevra-watch: %s\n%s", parsed.error.c_str(), tevra::cli::usageText().c_str());
        return 2;
    }
    return tevra::cli::runWatch(*parsed.options, tevra::hostnet::makePlatformIpHelper(), stdout, stderr);
}
