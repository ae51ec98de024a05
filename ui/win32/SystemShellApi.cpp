// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/ShellApi.h"

#include <objbase.h>

namespace tevra::win32 {
namespace {

class SystemShellApi : public ShellApi {
public:
    BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) override
    {
        // ShellExecuteEx may hand the work to shell extensions, which want
        // COM on the calling thread; the launch runs on a thread of its own.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const BOOL started = ::ShellExecuteExW(info);
        const DWORD error = ::GetLastError();
        if (SUCCEEDED(com))
            ::CoUninitialize();
        ::SetLastError(error);
        return started;
    }
    DWORD lastError() override { return ::GetLastError(); }
    DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds) override
    {
        return ::WaitForSingleObject(handle, milliseconds);
    }
    BOOL getExitCodeProcess(HANDLE process, DWORD* exitCode) override
    {
        return ::GetExitCodeProcess(process, exitCode);
    }
    BOOL closeHandle(HANDLE handle) override { return ::CloseHandle(handle); }
};

}  // namespace

std::unique_ptr<ShellApi> makeSystemShellApi()
{
    return std::make_unique<SystemShellApi>();
}

}  // namespace tevra::win32
