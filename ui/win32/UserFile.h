#pragma once

#include <string>
#include <string_view>

namespace tevra::win32 {

// Writes `bytes` as the whole new content of the file at `path`: into a new
// file beside it, then put in its place, so a failed write leaves the old
// file as it was. What is not a plain file (a folder, a device, a link or
// other reparse point) is never replaced. False if anything failed.
bool writeUserFile(const std::wstring& path, std::string_view bytes);

}  // namespace tevra::win32
