#include "ui/linux/FreedesktopNotifier.h"

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
    call << QStringLiteral("Tevra") << shownId_ << iconName(notification.icon) << notification.title
         << notification.text << QStringList() << QVariantMap() << notification.timeoutMs;
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

}  // namespace tevra
