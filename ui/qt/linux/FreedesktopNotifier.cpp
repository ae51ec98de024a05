// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/linux/FreedesktopNotifier.h"

#include "ui/qt/Resources.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingReply>
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
        // The protocol's type is a byte; a desktop ignores an int there.
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

FreedesktopNotifier::~FreedesktopNotifier() = default;

bool FreedesktopNotifier::notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon)
{
    if (!bus_.isConnected())
        return false;
    // Its number is needed to replace it; a newer waiting one supersedes the older.
    if (unanswered_) {
        waiting_ = Notification { title, text, timeoutMs, icon };
        return true;
    }
    send({ title, text, timeoutMs, icon });
    return true;
}

void FreedesktopNotifier::send(const Notification& notification)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Tevra") << shownId_ << QString::fromLatin1(kApplicationId) << notification.title
         << notification.text << QStringList() << hintsFor(notification.icon) << notification.timeoutMs;
    unanswered_ = std::make_unique<QDBusPendingCallWatcher>(bus_.asyncCall(call));
    QObject::connect(unanswered_.get(), &QDBusPendingCallWatcher::finished,
        [this](QDBusPendingCallWatcher* answer) { answered(*answer); });
}

void FreedesktopNotifier::answered(QDBusPendingCallWatcher& call)
{
    const QDBusPendingReply<uint> reply = call;
    // A service that failed keeps the old number: the next one tries to replace it again.
    if (reply.isValid())
        shownId_ = reply.value();
    // Kept until the next answer: it may not be deleted from inside its own signal.
    answeredCall_ = std::move(unanswered_);
    if (waiting_)
        send(*std::exchange(waiting_, std::nullopt));
}

bool FreedesktopNotifier::trayIsStatusNotifier() const
{
    const QDBusConnectionInterface* daemon = bus_.interface();
    return daemon != nullptr
        && daemon->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

}  // namespace tevra
