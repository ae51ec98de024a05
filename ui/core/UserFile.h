// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tevra {

// Writes `bytes` as the whole new content of the file the user chose (its
// path in the system's encoding: UTF-8 on Windows), without
// ever replacing what is not that file:
// - a path that names something other than a regular file (a device, a FIFO,
//   a socket, a folder; also a link that leads nowhere) is refused and left
//   as it is, even when the program runs as root;
// - a regular file with more than one name (hard links) is written in place,
//   so every name sees the new text;
// - otherwise a complete new file replaces the old one in one step, with the
//   old one's owner, group and mode; when no new file can be made beside it
//   (a folder the user may not write, a file the user may write but whose
//   owner the program cannot give to a new one), the file is written in place;
// - a link to a regular file writes that file and keeps the link.
// False when the file could not be written; after a failed replace the old
// file is as it was.
bool writeUserFile(const std::string& path, std::string_view bytes);

}  // namespace tevra
