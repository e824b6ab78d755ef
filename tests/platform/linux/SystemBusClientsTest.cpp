// NetworkManager and logind as Kestrum reads them, played by fake services on a private bus.

#include "LinuxNetworkPathProvider.h"
#include "LogindSleepWatcher.h"
#include "NetworkManagerClient.h"
#include "PrivateBus.h"
#include "TestSupport.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State MEMBER state)
    Q_PROPERTY(uint Metered MEMBER metered)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection MEMBER primary)
public:
    uint state = 70;
    uint metered = 3;
    QDBusObjectPath primary{QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/4")};
};

class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QList<QDBusObjectPath> Devices MEMBER devices)
public:
    QList<QDBusObjectPath> devices{
        QDBusObjectPath(QStringLiteral("/org/freedesktop/NetworkManager/Devices/2")),
        QDBusObjectPath(QStringLiteral("/org/freedesktop/NetworkManager/Devices/3"))};
};

class FakeDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Device")
    Q_PROPERTY(uint DeviceType MEMBER type)
    Q_PROPERTY(QString IpInterface MEMBER ipInterface)
public:
    FakeDevice(uint t, QString name) : type(t), ipInterface(std::move(name)) {}
    uint type;
    QString ipInterface;
};

constexpr auto kExport = QDBusConnection::ExportAllProperties;

} // namespace

TEST(NetworkManagerClient, ReadsTheStateAndThePrimaryConnectionsDevices) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    NetworkManagerClient client(bus.connect(QStringLiteral("kestrum")));
    EXPECT_FALSE(client.read()) << "no NetworkManager on the bus";

    QDBusConnection server = bus.connect(QStringLiteral("nm"));
    FakeManager manager;
    FakeActiveConnection active;
    FakeDevice wifi(2, QStringLiteral("wlp2s0"));
    FakeDevice ethernet(1, QStringLiteral("enp0s31f6"));
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/NetworkManager"), &manager, kExport));
    ASSERT_TRUE(server.registerObject(manager.primary.path(), &active, kExport));
    ASSERT_TRUE(server.registerObject(active.devices[0].path(), &wifi, kExport));
    ASSERT_TRUE(server.registerObject(active.devices[1].path(), &ethernet, kExport));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.NetworkManager")));

    // The client blocks on the bus while this thread serves it, so reads run on a helper thread.
    const auto readOffThread = [&] {
        std::optional<NetworkManagerState> state;
        std::atomic<bool> done = false;
        std::thread reader([&] {
            state = client.read();
            done = true;
        });
        spinUntil([&] { return done.load(); });
        reader.join();
        return state;
    };

    const auto state = readOffThread();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->state, 70u);
    EXPECT_EQ(state->metered, 3u);
    EXPECT_EQ(state->primaryDevices, (std::vector<NetworkManagerState::Device>{
                                         {2, QStringLiteral("wlp2s0")}, {1, QStringLiteral("enp0s31f6")}}));

    // Without a primary connection NetworkManager answers "/": the state stands, no devices.
    manager.primary = QDBusObjectPath(QStringLiteral("/"));
    manager.state = 20;
    const auto offline = readOffThread();
    ASSERT_TRUE(offline);
    EXPECT_EQ(offline->state, 20u);
    EXPECT_TRUE(offline->primaryDevices.empty());
}

// The periodic re-read comes every 30 s (every 5 s without rtnetlink); a metered connection must show long
// before that, from NetworkManager's own announcement.
TEST(NetworkManagerClient, AnnouncedChangesReachThePathAtOnce) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection server = bus.connect(QStringLiteral("nm"));
    FakeManager manager;
    manager.metered = 4; // guess no
    manager.primary = QDBusObjectPath(QStringLiteral("/"));
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/NetworkManager"), &manager, kExport));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.NetworkManager")));

    const QString root = fixture(QStringLiteral("intel-laptop"));
    LinuxNetworkPathProvider provider(
        {root + QStringLiteral("/proc"), root + QStringLiteral("/sys"), root + QStringLiteral("/run"),
         root + QStringLiteral("/etc")},
        std::make_unique<NetworkManagerClient>(bus.connect(QStringLiteral("kestrum"))), [] {
            return std::map<QString, LinuxNetworkPathProvider::AddressFamilies>{
                {QStringLiteral("wlp0s20f3"), {true, false}}};
        });
    ASSERT_TRUE(spinUntil([&] { return provider.latestSnapshot().isConnected; }));
    EXPECT_FALSE(provider.latestSnapshot().isExpensive);

    const auto announce = [&](const QVariantMap& changed) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/NetworkManager"),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.freedesktop.NetworkManager") << changed << QStringList();
        server.send(signal);
    };
    manager.metered = 1; // yes
    announce({{QStringLiteral("Metered"), QVariant::fromValue(1u)}});
    EXPECT_TRUE(spinUntil([&] { return provider.latestSnapshot().isExpensive; }, 2000));

    manager.state = 20;
    announce({{QStringLiteral("State"), QVariant::fromValue(20u)}});
    EXPECT_TRUE(spinUntil([&] { return !provider.latestSnapshot().isConnected; }, 2000));
}

TEST(LogindSleepWatcher, PrepareForSleepBecomesSleepAndWake) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));

    LogindSleepWatcher watcher(bus.connect(QStringLiteral("kestrum")));
    QStringList seen;
    QObject::connect(&watcher, &SleepWakeNotifying::willSleep, [&] { seen << QStringLiteral("sleep"); });
    QObject::connect(&watcher, &SleepWakeNotifying::didWake, [&] { seen << QStringLiteral("wake"); });
    const auto prepare = [&](QDBusConnection from, bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        from.send(signal);
    };
    prepare(logind, true);
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 1; }));
    prepare(logind, false);
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("sleep"), QStringLiteral("wake")}));

    // Anyone else sending the same signal is not logind and is ignored.
    prepare(bus.connect(QStringLiteral("impostor")), true);
    spinUntil([] { return false; }, 200);
    EXPECT_EQ(seen.size(), 2);

    // Without a bus the watcher is quiet, not broken.
    LogindSleepWatcher detached(QDBusConnection(QStringLiteral("never-connected")));
}

#include "SystemBusClientsTest.moc"
