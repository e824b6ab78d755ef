#include "TrayHostWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace kestrum {

const QString TrayHostWatcher::kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

namespace {
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
} // namespace

TrayHostWatcher::TrayHostWatcher(QDBusConnection bus, std::function<bool()> otherTray, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (m_bus.isConnected()) {
        m_service =
            new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_service, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { readHost(); });
        for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
            m_bus.connect(kWatcherService, kWatcherPath, kWatcherService, QLatin1String(signal), this,
                          qstrcmp(signal, "StatusNotifierHostRegistered") == 0 ? SLOT(hostRegistered())
                                                                               : SLOT(hostUnregistered()));
        }
        readHost();
    }
    m_otherTray = otherTray && otherTray();
}

void TrayHostWatcher::readHost() {
    const quint64 generation = ++m_reads;
    if (!m_bus.interface() || !m_bus.interface()->isServiceRegistered(kWatcherService)) {
        setHostPresent(false);
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kReadTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != m_reads)
                    return; // a later read decides
                const QDBusMessage reply = call->reply();
                // A watcher that cannot say is taken at its word that it is there for a host.
                setHostPresent(reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
                               reply.arguments().constFirst().value<QDBusVariant>().variant().toBool());
            });
}

void TrayHostWatcher::hostRegistered() {
    setHostPresent(true);
}

void TrayHostWatcher::hostUnregistered() {
    readHost(); // another host may remain
}

void TrayHostWatcher::setHostPresent(bool present) {
    const bool before = isAvailable();
    m_statusNotifierHost = present;
    if (isAvailable() != before)
        Q_EMIT availabilityChanged();
}

} // namespace kestrum
