#include "ui/linux/FreedesktopNotifier.h"

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

// Icon names from the freedesktop icon naming list.
QString iconName(BalloonIcon icon)
{
    static const std::array<const char*, 4> names { "", "dialog-information", "dialog-warning",
        "dialog-error" };
    return QString::fromLatin1(names.at(static_cast<std::size_t>(icon)));
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
    call << QStringLiteral("Tevra") << replacesNothing << iconName(icon) << title << text << QStringList()
         << QVariantMap() << timeoutMs;
    return bus_.send(call);
}

}  // namespace tevra
