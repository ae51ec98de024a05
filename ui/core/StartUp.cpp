// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/StartUp.h"

#include "engine/Version.h"

namespace tevra {

std::string splashVersionLine()
{
    return std::string("Tevra Version ") + kVersion;
}

}  // namespace tevra
