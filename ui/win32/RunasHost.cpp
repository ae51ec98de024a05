// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/RunasHost.h"

#include "ui/core/ElevatingIpHelper.h"
#include "ui/win32/RunasElevatedLauncher.h"

#include <utility>

namespace tevra::win32 {

std::unique_ptr<hostnet::IpHelper> withRunasFallback(std::unique_ptr<hostnet::IpHelper> host,
    const std::filesystem::path& programFolder, std::unique_ptr<ShellApi> shell)
{
    std::filesystem::path helper = findHelper(programFolder);
    if (helper.empty())
        return host;
    auto launcher = std::make_unique<RunasElevatedLauncher>(
        std::make_unique<RunasLauncher>(std::move(helper), std::move(shell)));
    if (!launcher->ready())
        return host;
    return std::make_unique<ElevatingIpHelper>(std::move(host), std::move(launcher));
}

}  // namespace tevra::win32
