// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"
#include "ui/win32/ShellApi.h"

#include <filesystem>
#include <memory>

namespace tevra::win32 {

// `host` under the shared ElevatingIpHelper, whose launcher runs
// tevra-arp-helper.exe from `programFolder` with the verb "runas" through
// `shell`: a delete or flush that Windows refuses (ERROR_ACCESS_DENIED) is
// done again once an administrator consents. `host` as it is when the helper
// is not in that folder.
std::unique_ptr<hostnet::IpHelper> withRunasFallback(std::unique_ptr<hostnet::IpHelper> host,
    const std::filesystem::path& programFolder, std::unique_ptr<ShellApi> shell);

}  // namespace tevra::win32
