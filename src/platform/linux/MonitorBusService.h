#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <functional>
#include <optional>

namespace kestrum {

class SystemMonitorStore;

// The running monitor's control point on the session bus, so that kestrum-cli changes a running
// Kestrum's state instead of writing the archive behind its back.
class MonitorBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kestrum.Monitor")
public:
    static constexpr const char* kServiceName = "app.kestrum.Kestrum";
    static constexpr const char* kObjectPath = "/app/kestrum/Monitor";
    static constexpr const char* kInterfaceName = "app.kestrum.Monitor";

    MonitorBusService(SystemMonitorStore& store, QDBusConnection bus = QDBusConnection::sessionBus(),
                      QObject* parent = nullptr);
    ~MonitorBusService() override;
    // False when there is no session bus or another process owns the name.
    bool registerOnBus();

public Q_SLOTS:
    void StartIncident(const QString& note);
    void StopIncident(const QString& note);
    // Answers the status message once the desktop has answered.
    QString SetNotificationsEnabled(bool enabled);
    bool IsMonitoring();
    // A second start of the application asks the first one to show its window; answers whether there
    // was a window to show (a headless monitor has none).
    bool ShowWindow();

public:
    void setShowWindowHandler(std::function<bool()> handler) { m_showWindow = std::move(handler); }

private:
    SystemMonitorStore& m_store;
    QDBusConnection m_bus;
    bool m_registered = false;
    std::function<bool()> m_showWindow;
};

// Calls a method of a running monitor; absent when none is reachable.
std::optional<QVariantList> callRunningMonitor(const QString& method, const QVariantList& arguments,
                                               QDBusConnection bus = QDBusConnection::sessionBus());

} // namespace kestrum
