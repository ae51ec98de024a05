// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows way: tevra-arp-helper.exe beside the window, started with the
// verb "runas", so that Windows asks for an administrator's consent.
#include "ui/core/AdministratorFallback.h"
#include "ui/win32/RunasHost.h"

#include <windows.h>

#include <string>

namespace tevra {
namespace {

std::filesystem::path programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    // Paths past MAX_PATH are cut without an error but for the buffer filled up.
    while ((length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()))) == path.size()
        && path.size() < 32768)
        path.resize(path.size() * 2);
    if (length == 0 || length == path.size())
        return {};
    path.resize(length);
    return std::filesystem::path(path).parent_path();
}

}  // namespace

std::unique_ptr<hostnet::IpHelper> withAdministratorFallback(std::unique_ptr<hostnet::IpHelper> host)
{
    const std::filesystem::path folder = programFolder();
    if (folder.empty())
        return host;
    return win32::withRunasFallback(std::move(host), folder, win32::makeSystemShellApi());
}

}  // namespace tevra
