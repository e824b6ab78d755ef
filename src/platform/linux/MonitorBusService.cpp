#include "MonitorBusService.h"

#include "monitor/SystemMonitorStore.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QPointer>

namespace kestrum {

namespace {

QCoro::Task<void> answerNotifications(QPointer<SystemMonitorStore> store, bool enabled, QDBusConnection bus,
                                      QDBusMessage request) {
    if (store)
        co_await store->setNotificationsEnabled(enabled);
    const QString message = store ? store->notificationStatusMessage() : QString();
    bus.send(request.createReply(message));
}

} // namespace

MonitorBusService::MonitorBusService(SystemMonitorStore& store, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_store(store), m_bus(std::move(bus)) {}

MonitorBusService::~MonitorBusService() {
    if (m_registered) {
        m_bus.unregisterObject(QLatin1String(kObjectPath));
        m_bus.unregisterService(QLatin1String(kServiceName));
    }
}

bool MonitorBusService::registerOnBus() {
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAllSlots))
        return false;
    if (!m_bus.registerService(QLatin1String(kServiceName))) {
        m_bus.unregisterObject(QLatin1String(kObjectPath));
        return false;
    }
    m_registered = true;
    return true;
}

void MonitorBusService::StartIncident(const QString& note) {
    // The reply goes out at once; the archive save completes on its own.
    [](QPointer<SystemMonitorStore> store, QString text) -> QCoro::Task<void> {
        if (store)
            co_await store->startIncident(text);
    }(QPointer<SystemMonitorStore>(&m_store), note);
}

void MonitorBusService::StopIncident(const QString& note) {
    [](QPointer<SystemMonitorStore> store, QString text) -> QCoro::Task<void> {
        if (store)
            co_await store->stopIncident(text);
    }(QPointer<SystemMonitorStore>(&m_store), note);
}

QString MonitorBusService::SetNotificationsEnabled(bool enabled) {
    setDelayedReply(true);
    answerNotifications(QPointer<SystemMonitorStore>(&m_store), enabled, connection(), message());
    return {};
}

bool MonitorBusService::IsMonitoring() {
    return m_store.isMonitoring();
}

bool MonitorBusService::ShowWindow() {
    return m_showWindow ? m_showWindow() : false;
}

std::optional<QVariantList> callRunningMonitor(const QString& method, const QVariantList& arguments,
                                               QDBusConnection bus) {
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QLatin1String(MonitorBusService::kServiceName)).value())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(MonitorBusService::kServiceName), QLatin1String(MonitorBusService::kObjectPath),
        QLatin1String(MonitorBusService::kInterfaceName), method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 30000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments();
}

} // namespace kestrum
