// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StateLock.h"

#include "cli/windows/WideText.h"

#include <windows.h>

#include <charconv>

namespace tevra::cli {

struct StateLock::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);  // ends the hold
    }
};

StateLock::StateLock(std::unique_ptr<Handle> handle)
    : handle_(std::move(handle))
{
}

StateLock::~StateLock() = default;

namespace {

// The process id the holder wrote, or "another process" when it cannot be read.
std::string holderOf(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char text[32] {};
    DWORD length = 0;
    const bool read = file != INVALID_HANDLE_VALUE && ReadFile(file, text, sizeof text - 1, &length, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    unsigned long pid = 0;
    if (read && length > 0 && std::from_chars(text, text + length, pid).ec == std::errc() && pid > 0)
        return "process " + std::to_string(pid);
    return "another process";
}

}  // namespace

// Held by opening the lock file for writing without letting anyone else write it.
std::unique_ptr<StateLock> StateLock::acquire(const std::string& statePath, std::string& error)
{
    const std::wstring path = wideFromUtf8(statePath + ".lock");
    auto handle = std::make_unique<Handle>();
    handle->file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle->file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = code == ERROR_SHARING_VIOLATION
            ? statePath + " is in use by " + holderOf(path)
            : "cannot create a file beside " + statePath + ": " + systemMessage(code);
        return nullptr;
    }
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    if (!SetEndOfFile(handle->file)
        || !WriteFile(handle->file, pid.data(), DWORD(pid.size()), &written, nullptr)) {
        error = "cannot lock " + statePath + ": " + systemMessage(GetLastError());
        return nullptr;
    }
    return std::make_unique<StateLock>(std::move(handle));
}

}  // namespace tevra::cli
