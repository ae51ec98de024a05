// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileText.h"
#include "cli/ConsoleWatch.h"
#include "cli/WatchOptions.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tevra::test {

// What one run of the console watch said and how it ended.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// One `--once` run of the console watch over a fake host whose table is
// `table` and whose adapters are `adapters`, its outputs caught in files.
inline Outcome runWatchOnce(cli::WatchOptions options, std::vector<hostnet::MibIpNetRow> table,
    std::vector<hostnet::IpAdapterInfo> adapters = {})
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->netTable = std::move(table);
    if (!adapters.empty())
        fake->adapters = std::move(adapters);
    options.once = true;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome run;
    run.status = cli::runWatch(options, std::move(fake), out, err);
    run.out = contents(out);
    run.err = contents(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

}  // namespace tevra::test
