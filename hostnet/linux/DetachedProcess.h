// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevra::hostnet {

// Starts the program at the absolute path `arguments[0]` (never looked up on
// PATH) with the rest as its arguments, input and output on /dev/null, and
// returns without waiting for it. The
// program is started by a short-lived intermediate child that exits at once,
// so it is adopted by init (or the nearest subreaper) and never becomes a
// zombie of ours; the caller's signal handlers are not touched. 0 when the
// program was started, -1 with `error` saying why when it could not be.
std::int32_t startDetachedProcess(const std::vector<std::string>& arguments, std::string& error);

// The folders a system program is taken from: root's, never the caller's PATH,
// whose empty or relative elements would run a program of the working folder.
inline const std::vector<std::string> kSystemProgramFolders { "/usr/bin", "/bin", "/usr/sbin", "/sbin" };

// The absolute path of the first executable regular file `name` in `folders`;
// empty when there is none.
std::string findSystemProgram(const std::string& name, const std::vector<std::string>& folders);

}  // namespace tevra::hostnet
