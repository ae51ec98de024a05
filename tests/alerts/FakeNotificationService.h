// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace tevra::test {

struct ReceivedNotification {
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireTimeout = 0;
    qint64 receivedAtMs = 0;  // on the monotonic clock
};

// A desktop notification service on the test's own session bus, keeping
// every notification it is sent.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    std::vector<ReceivedNotification> received;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
        const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        received.push_back({ appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout,
            QDeadlineTimer::current().deadline() });
        // As a desktop's service answers: a replacement keeps the number of the
        // one it replaces, anything else gets a new one.
        return replacesId != 0 ? replacesId : ++lastId;
    }

private:
    uint lastId = 0;
};

}  // namespace tevra::test
