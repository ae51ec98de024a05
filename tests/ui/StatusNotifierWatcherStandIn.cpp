// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal StatusNotifierWatcher for the tray tests, with the little of a
// StatusNotifierHost that a tray needs to draw an item: Plasma's tray and
// GNOME's tray extension play both parts. It takes an item's registration,
// reads the item's icon and tool tip the way a tray reads them, reports each
// on standard output, and clicks the item when standard input says "activate".
//
// Lines written: "ready", "registered", "icon <digest of the pictures>",
// "tooltip <title>", "activated", "gone".
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>
#include <unistd.h>

namespace {

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The pictures of an a(iiay) value, as one digest: equal pictures, equal digest.
QByteArray digestOfPixmaps(const QDBusArgument& pixmaps, QCryptographicHash& hash)
{
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray bytes;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> bytes;
        pixmaps.endStructure();
        hash.addData(QByteArray::number(width) + "x" + QByteArray::number(height));
        hash.addData(bytes);
    }
    pixmaps.endArray();
    return hash.result().toHex().left(16);
}

// The title of a (sa(iiay)ss) tool tip.
QString toolTipTitle(const QDBusArgument& toolTip)
{
    QString iconName;
    QString title;
    QString text;
    toolTip.beginStructure();
    toolTip >> iconName;
    QCryptographicHash ignored(QCryptographicHash::Md5);
    digestOfPixmaps(toolTip, ignored);
    toolTip >> title >> text;
    toolTip.endStructure();
    return title;
}

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(QDBusConnection bus)
        : bus_(bus)
        , input_(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&input_, &QSocketNotifier::activated, this, &Watcher::readCommand);
        connect(&itemOwner_, &QDBusServiceWatcher::serviceUnregistered, this, [] { say("gone"); });
        itemOwner_.setConnection(bus_);
        itemOwner_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    }

    QStringList registeredItems() const
    {
        return service_.isEmpty() ? QStringList() : QStringList { service_ + path_ };
    }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    // An item names its bus name, or its object path on the caller's connection.
    void RegisterStatusNotifierItem(const QString& serviceOrPath)
    {
        const bool isPath = serviceOrPath.startsWith(QLatin1Char('/'));
        service_ = isPath ? message().service() : serviceOrPath;
        path_ = isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        itemOwner_.setWatchedServices({ service_ });
        for (const char* signal : { "NewIcon", "NewToolTip", "NewStatus" })
            bus_.connect(service_, path_, kItemInterface, QLatin1String(signal), this, SLOT(readItem()));
        say("registered");
        emit StatusNotifierItemRegistered(service_);
        readItem();
    }

    void RegisterStatusNotifierHost(const QString&) { }

    // A tray redraws the item from all its properties whenever it says one changed.
    void readItem()
    {
        QDBusMessage getAll = QDBusMessage::createMethodCall(
            service_, path_, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        getAll << kItemInterface;
        auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(getAll), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QVariantMap> reply = *call;
            if (reply.isError())
                return;
            const QVariantMap properties = reply.value();
            QCryptographicHash hash(QCryptographicHash::Md5);
            hash.addData(properties.value(QStringLiteral("IconName")).toString().toUtf8());
            const QString icon = QString::fromLatin1(
                digestOfPixmaps(properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>(), hash));
            const QString tip
                = toolTipTitle(properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>());
            if (icon != lastIcon_)
                say(QStringLiteral("icon ") + icon);
            if (tip != lastTip_)
                say(QStringLiteral("tooltip ") + tip);
            lastIcon_ = icon;
            lastTip_ = tip;
        });
    }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    void readCommand()
    {
        char buffer[256];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input_.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        if (!QByteArray(buffer, int(count)).startsWith("activate"))
            return;
        // A left click, as a tray reports it: where on the screen does not matter here.
        QDBusMessage activate
            = QDBusMessage::createMethodCall(service_, path_, kItemInterface, QStringLiteral("Activate"));
        activate << 0 << 0;
        auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(activate), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            say(call->isError() ? QStringLiteral("activate failed ") + call->error().message()
                                : QStringLiteral("activated"));
        });
    }

    QDBusConnection bus_;
    QSocketNotifier input_;
    QDBusServiceWatcher itemOwner_;
    QString service_;
    QString path_;
    QString lastIcon_;
    QString lastTip_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher(bus);
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                | QDBusConnection::ExportAllProperties)
        || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot take the watcher's name: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    say("ready");
    return app.exec();
}

#include "StatusNotifierWatcherStandIn.moc"
