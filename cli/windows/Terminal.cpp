// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StartupMessage.h"

#include <windows.h>

#include <io.h>

namespace tevra::cli {
namespace {

// A console, not just any character device: _isatty alone is true for NUL too.
bool isConsole(std::FILE* stream)
{
    const int fd = _fileno(stream);
    if (fd < 0 || _isatty(fd) == 0)
        return false;
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0;
}

}  // namespace

bool isInteractive(std::FILE* out, std::FILE* err)
{
    return isConsole(out) && isConsole(err);
}

}  // namespace tevra::cli
