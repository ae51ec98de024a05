#include "ui/linux/FreedesktopNotifier.h"

#include "ui/Resources.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <utility>

namespace tevra {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The balloon's picture and the notification's urgency (0 low, 1 normal,
// 2 critical), by the balloon icon; the names from the freedesktop icon naming list.
struct BalloonLook {
    const char* image;
    uchar urgency;
};
constexpr std::array<BalloonLook, 4> kLooks { {
    { "", 1 },
    { "dialog-information", 1 },
    { "dialog-warning", 2 },
    { "dialog-error", 2 },
} };

// What desktops decide by: whose notification it is (the desktop entry, and
// with it the name and icon they show), how urgent (a critical one stays until
// the user has seen it), and what about.
QVariantMap hintsFor(BalloonIcon icon)
{
    const BalloonLook& look = kLooks.at(static_cast<std::size_t>(icon));
    QVariantMap hints {
        { QStringLiteral("desktop-entry"), QString::fromLatin1(kApplicationId) },
        // The specification's type is a byte; a desktop ignores an int there.
        { QStringLiteral("urgency"), QVariant::fromValue(look.urgency) },
        { QStringLiteral("category"), QStringLiteral("network") },
    };
    if (*look.image != '\0')
        hints.insert(QStringLiteral("image-path"), QString::fromLatin1(look.image));
    return hints;
}

}  // namespace

std::unique_ptr<DesktopNotifier> makeDesktopNotifier()
{
    return std::make_unique<FreedesktopNotifier>();
}

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus)
    : bus_(std::move(bus))
{
}

bool FreedesktopNotifier::notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon)
{
    if (!bus_.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const uint replacesNothing = 0;
    call << QStringLiteral("Tevra") << replacesNothing << QString::fromLatin1(kApplicationId) << title << text
         << QStringList() << hintsFor(icon) << timeoutMs;
    return bus_.send(call);
}

bool FreedesktopNotifier::trayIsStatusNotifier() const
{
    const QDBusConnectionInterface* daemon = bus_.interface();
    return daemon != nullptr
        && daemon->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

}  // namespace tevra
