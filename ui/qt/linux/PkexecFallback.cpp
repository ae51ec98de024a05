// SPDX-License-Identifier: GPL-3.0-or-later
// The polkit way: pkexec runs tevra-arp-helper once the desktop's
// authentication agent has the administrator's consent.
#include "ui/core/AdministratorFallback.h"
#include "ui/core/ElevatingIpHelper.h"
#include "ui/qt/HelperLauncher.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <array>

namespace tevra {
namespace {

// Where the helper is, from the program's folder: installed, then in the build tree.
constexpr std::array<const char*, 2> kHelperPlaces { TEVRA_HELPER_FROM_BINDIR, "../helper/tevra-arp-helper" };

QString helperPath()
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (const char* place : kHelperPlaces) {
        const QFileInfo helper(folder + QLatin1Char('/') + QString::fromLatin1(place));
        if (helper.isFile() && helper.isExecutable())
            return helper.canonicalFilePath();
    }
    return {};
}

}  // namespace

std::unique_ptr<hostnet::IpHelper> withAdministratorFallback(std::unique_ptr<hostnet::IpHelper> host)
{
    const QString helper = helperPath();
    if (helper.isEmpty())
        return host;
    // pkexec wants the helper's absolute path, which the polkit action names.
    auto launcher = std::make_unique<HelperLauncher>(QStringList { QStringLiteral("pkexec"), helper });
    return std::make_unique<ElevatingIpHelper>(std::move(host), std::move(launcher));
}

}  // namespace tevra
