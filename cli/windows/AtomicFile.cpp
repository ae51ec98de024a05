// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AtomicFile.h"

#include "cli/windows/WideText.h"

#include <windows.h>

#include <string>

namespace tevra::cli {
namespace {

std::string failed(const char* step, const std::string& path, DWORD code = GetLastError())
{
    return std::string("cannot ") + step + " " + path + ": " + systemMessage(code);
}

// A new file beside `path`, named for this process and a counter so that two
// watchers on one state file never share it.
HANDLE createBeside(const std::string& path, std::string& name)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
        const HANDLE file = CreateFileW(wideFromUtf8(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE file, std::string_view text)
{
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = text.size() > 1u << 30 ? 1u << 30 : static_cast<DWORD>(text.size());
        if (!WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

// As on POSIX: the text reaches the disk in a file of its own, which then
// takes the old one's place in one step. The new file gets the folder's
// inherited access rights, as any file made there does.
std::string replaceFile(const std::string& path, std::string_view text)
{
    std::string temporary;
    const HANDLE file = createBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return failed("create a file beside", path);
    std::string error;
    if (!writeAll(file, text) || !FlushFileBuffers(file))
        error = failed("write", temporary);
    if (!CloseHandle(file) && error.empty())
        error = failed("write", temporary);
    // Write-through: the move returns once it is on the disk.
    if (error.empty()
        && !MoveFileExW(wideFromUtf8(temporary).c_str(), wideFromUtf8(path).c_str(),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = failed("replace", path);
    if (!error.empty())
        DeleteFileW(wideFromUtf8(temporary).c_str());
    return error;
}

FileContents readWholeFile(const std::string& path, std::size_t maxBytes)
{
    FileContents contents;
    const std::wstring wide = wideFromUtf8(path);
    // Opening a folder fails with "access denied", which would send the user
    // looking at the wrong thing.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        contents.error = "cannot read " + path + ": Is a directory";
        return contents;
    }
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        contents.missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        if (!contents.missing)
            contents.error = failed("read", path, code);
        return contents;
    }
    // A device or a pipe in the file's place is not a state file of ours.
    if (GetFileType(file) != FILE_TYPE_DISK)
        contents.error = path + " is not a regular file; refusing to read it";
    char buffer[65536];
    for (DWORD length = 0; contents.error.empty(); contents.text.append(buffer, length)) {
        if (!ReadFile(file, buffer, sizeof buffer, &length, nullptr))
            contents.error = failed("read", path);
        if (!contents.error.empty() || length == 0)
            break;
        if (contents.text.size() + length > maxBytes)
            contents.error
                = path + " is larger than " + std::to_string(maxBytes >> 20) + " MB; refusing to read it";
    }
    CloseHandle(file);
    if (!contents.error.empty())
        contents.text.clear();
    return contents;
}

}  // namespace tevra::cli
