#include "PrivateBus.h"

namespace kestrum::test {

PrivateBus::PrivateBus() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(5000))
        return;
    for (int i = 0; i < 50 && !m_daemon.canReadLine(); ++i)
        m_daemon.waitForReadyRead(100);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : m_names)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished(2000);
}

QDBusConnection PrivateBus::connect(const QString& name) const {
    m_names.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}

} // namespace kestrum::test
