// SPDX-License-Identifier: GPL-3.0-or-later
// For platforms whose desktop always has a notification area, so balloons
// never need another way to the user.
#include "ui/qt/DesktopNotifier.h"

namespace tevra {

std::unique_ptr<DesktopNotifier> makeDesktopNotifier()
{
    return nullptr;
}

}  // namespace tevra
