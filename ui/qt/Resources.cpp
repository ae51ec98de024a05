// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/Resources.h"

namespace tevra {

QIcon applicationIcon()
{
    QIcon icon;
    for (const char* path : { kAppIconPath, kAppIcon32Path, kAppIcon16Path })
        icon.addFile(QString::fromLatin1(path));
    return icon;
}

}  // namespace tevra
