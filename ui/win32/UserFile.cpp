#include "ui/win32/UserFile.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace tevra::win32 {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle openHandle(HANDLE handle)
{
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

enum class Target { Absent, PlainFile, Refused };

// What the name holds, looked at without following a link.
Target examine(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Target::Absent : Target::Refused;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return Target::Refused;
    const Handle file
        = openHandle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK)
        return Target::Refused;
    return Target::PlainFile;
}

std::wstring folderOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

bool writeAll(const std::wstring& path, std::string_view bytes)
{
    const Handle file = openHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(file.get()) != FALSE;
}

}  // namespace

bool writeUserFile(const std::wstring& path, std::string_view bytes)
{
    const Target target = examine(path);
    if (target == Target::Refused)
        return false;
    wchar_t temporary[MAX_PATH + 1] {};
    if (GetTempFileNameW(folderOf(path).c_str(), L"tev", 0, temporary) == 0)
        return false;
    const bool placed = writeAll(temporary, bytes)
        && (target == Target::PlainFile
                // Keeps the old file's security and attributes.
                ? ReplaceFileW(
                      path.c_str(), temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                    || MoveFileExW(
                        temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                : MoveFileExW(temporary, path.c_str(), MOVEFILE_WRITE_THROUGH));
    if (!placed)
        DeleteFileW(temporary);
    return placed;
}

}  // namespace tevra::win32
