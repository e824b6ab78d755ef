#include "NetworkManagerClient.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QThread>

namespace kestrum {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int kTimeoutMs = 800;

std::optional<QVariant> property(const QDBusConnection& bus, const QString& path, const QString& interface,
                                 const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

std::vector<QString> objectPaths(const QVariant& value) {
    std::vector<QString> paths;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusObjectPath path;
            argument >> path;
            paths.push_back(path.path());
        }
        argument.endArray();
    }
    return paths;
}

} // namespace

// Lives on the client's signal thread; QtDBus delivers the signal there.
class NetworkManagerClient::SignalRelay : public QObject {
    Q_OBJECT
public:
    explicit SignalRelay(std::function<void()> changed) : m_changed(std::move(changed)) {}

public Q_SLOTS:
    void onPropertiesChanged(const QDBusMessage& message) {
        // Only the manager's own properties (State, Metered, PrimaryConnection, …) change the path.
        const QList<QVariant> arguments = message.arguments();
        if (!arguments.isEmpty() && arguments.first().toString() == u"org.freedesktop.NetworkManager")
            m_changed();
    }

private:
    std::function<void()> m_changed;
};

NetworkManagerClient::NetworkManagerClient() = default;

NetworkManagerClient::NetworkManagerClient(QDBusConnection bus) : m_bus(std::move(bus)) {}

NetworkManagerClient::~NetworkManagerClient() {
    if (!m_signalThread)
        return;
    m_signalThread->quit();
    m_signalThread->wait();
    // The thread has ended: nothing can deliver to the relay any more.
    bus().disconnect(kService, QStringLiteral("/org/freedesktop/NetworkManager"),
                     QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                     QStringLiteral("sa{sv}as"), m_relay, SLOT(onPropertiesChanged(QDBusMessage)));
    delete m_relay;
}

QDBusConnection NetworkManagerClient::bus() const {
    // Without a bus of its own, the system bus is connected at first use, on the calling thread.
    return m_bus ? *m_bus : QDBusConnection::systemBus();
}

void NetworkManagerClient::watch(std::function<void()> changed) {
    QDBusConnection connection = bus();
    if (m_signalThread || !connection.isConnected())
        return;
    m_signalThread = std::make_unique<QThread>();
    m_signalThread->setObjectName(QStringLiteral("kestrum-nm-signals"));
    m_relay = new SignalRelay(std::move(changed));
    m_relay->moveToThread(m_signalThread.get());
    m_signalThread->start();
    // Matched on the service name, so a NetworkManager that starts later is heard as well.
    connection.connect(kService, QStringLiteral("/org/freedesktop/NetworkManager"),
                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                       QStringLiteral("sa{sv}as"), m_relay, SLOT(onPropertiesChanged(QDBusMessage)));
}

std::optional<NetworkManagerState> NetworkManagerClient::read() {
    const QDBusConnection bus = this->bus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService).value())
        return std::nullopt;
    const QString root = QStringLiteral("/org/freedesktop/NetworkManager");
    const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
    const auto state = property(bus, root, managerInterface, QStringLiteral("State"));
    if (!state)
        return std::nullopt;
    NetworkManagerState out;
    out.state = state->toUInt();
    out.metered = property(bus, root, managerInterface, QStringLiteral("Metered")).value_or(0).toUInt();
    const auto primary = property(bus, root, managerInterface, QStringLiteral("PrimaryConnection"));
    if (!primary)
        return out;
    const QString primaryPath = primary->value<QDBusObjectPath>().path();
    if (primaryPath.isEmpty() || primaryPath == u"/")
        return out;
    const auto devices =
        property(bus, primaryPath, QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
                 QStringLiteral("Devices"));
    if (!devices)
        return out;
    const QString deviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
    for (const QString& path : objectPaths(*devices)) {
        NetworkManagerState::Device device;
        device.type = property(bus, path, deviceInterface, QStringLiteral("DeviceType")).value_or(0).toUInt();
        device.ipInterface = property(bus, path, deviceInterface, QStringLiteral("IpInterface"))
                                 .value_or(QString())
                                 .toString();
        out.primaryDevices.push_back(device);
    }
    return out;
}

} // namespace kestrum

#include "NetworkManagerClient.moc"
