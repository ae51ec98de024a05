// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a user's file on Windows: a new file beside the old one, put in its
// place in one step (ReplaceFileW keeps the old one's security and
// attributes), or written in place where that is the only way.
#include "ui/core/UserFile.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace tevra {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle own(HANDLE handle)
{
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::wstring wide(std::string_view utf8)
{
    const int size
        = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(std::size_t(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), text.data(), size);
    return text;
}

enum class Target { Absent, PlainFile, LinkedFile, Refused };

// What the name holds, looked at without following a link: a folder, a
// device, or a link or other reparse point is never replaced.
Target examine(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Target::Absent : Target::Refused;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return Target::Refused;
    const Handle file
        = own(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information {};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK
        || !GetFileInformationByHandle(file.get(), &information))
        return Target::Refused;
    // Every name of a file with several must see the new text.
    return information.nNumberOfLinks > 1 ? Target::LinkedFile : Target::PlainFile;
}

std::wstring folderOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

bool writeAll(const std::wstring& path, DWORD disposition, std::string_view bytes)
{
    const Handle file = own(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = DWORD(std::min<std::size_t>(bytes.size(), std::size_t(1) << 20));
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(file.get()) != FALSE;
}

bool putInPlace(const std::wstring& temporary, const std::wstring& path, Target target)
{
    if (target == Target::Absent)
        return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    return ReplaceFileW(
               path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
        || MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

bool writeUserFile(const std::string& path, std::string_view bytes)
{
    const std::wstring name = wide(path);
    if (name.empty())
        return false;
    const Target target = examine(name);
    if (target == Target::Refused)
        return false;
    if (target == Target::LinkedFile)
        return writeAll(name, TRUNCATE_EXISTING, bytes);
    wchar_t temporary[MAX_PATH + 1] {};
    // A folder the user may not write in: the file itself may still be writable.
    if (GetTempFileNameW(folderOf(name).c_str(), L"tev", 0, temporary) == 0)
        return target == Target::PlainFile && writeAll(name, TRUNCATE_EXISTING, bytes);
    const bool placed = writeAll(temporary, CREATE_ALWAYS, bytes) && putInPlace(temporary, name, target);
    if (!placed)
        DeleteFileW(temporary);
    return placed;
}

}  // namespace tevra
