// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StartupMessage.h"

#include <unistd.h>

namespace tevra::cli {

bool isInteractive(std::FILE* out, std::FILE* err)
{
    return isatty(fileno(out)) == 1 && isatty(fileno(err)) == 1;
}

}  // namespace tevra::cli
