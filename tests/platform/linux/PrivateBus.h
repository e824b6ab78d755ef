#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace kestrum::test {

// A session bus of the test's own (dbus-daemon), so that D-Bus code is tested against a real bus
// without touching the user's desktop.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    // For other processes: their DBUS_SESSION_BUS_ADDRESS.
    const QString& address() const { return m_address; }
    // A new named connection to the bus.
    QDBusConnection connect(const QString& name) const;

private:
    QProcess m_daemon;
    QString m_address;
    mutable QStringList m_names;
};

} // namespace kestrum::test
