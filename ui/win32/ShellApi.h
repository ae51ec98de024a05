// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Windows calls that run tevra-arp-helper with an administrator's
// consent, behind one seam: the window uses the system's; tests record what
// is asked and script what Windows answers, since Wine has no consent prompt.
#include <windows.h>

#include <shellapi.h>

#include <memory>

namespace tevra::win32 {

class ShellApi {
public:
    virtual ~ShellApi() = default;

    virtual BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) = 0;
    // GetLastError right after the call before it.
    virtual DWORD lastError() = 0;
    virtual DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
    virtual BOOL getExitCodeProcess(HANDLE process, DWORD* exitCode) = 0;
    virtual BOOL closeHandle(HANDLE handle) = 0;
};

// The system's calls.
std::unique_ptr<ShellApi> makeSystemShellApi();

}  // namespace tevra::win32
