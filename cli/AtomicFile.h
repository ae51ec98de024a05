// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tevra::cli {

// Replaces the file at `path` with `text` so that a reader, or a crash at any
// moment, finds either the old file whole or the new one whole: the text goes
// to a new file beside it, reaches the disk, and is renamed over the old one.
// The new file is the process's own and readable by it alone, whatever the
// old one was. Empty on success, else why it failed; on failure the old file
// is untouched.
std::string replaceFile(const std::string& path, std::string_view text);

// The file's whole contents, or why it cannot be read. A missing file is
// reported with `missing` set and no error. Refused, and said why: anything
// but a regular file (a FIFO, a device, a symbolic link), a file larger than
// `maxBytes`, and, when running as root, a file of another user or one that
// group or others may write.
struct FileContents {
    std::string text;
    std::string error;
    bool missing = false;
};
FileContents readWholeFile(const std::string& path, std::size_t maxBytes);

}  // namespace tevra::cli
