#include "FreedesktopNotificationService.h"
#include "MonitorBusService.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "core/monitor/MonitorFakes.h"
#include "foundation/PreferencesStore.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <atomic>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <thread>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Stands in for the desktop's notification server and records what it is asked to show.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString app, summary, body;
        QVariantMap hints;
    };
    std::vector<Shown> shown;

public Q_SLOTS:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        shown.push_back({app, summary, body, hints});
        return static_cast<uint>(shown.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

HealthEvent criticalEvent() {
    return HealthEvent{newUuid(),
                       Date::now(),
                       HealthInsightKind::thermal,
                       HealthLevel::critical,
                       QStringLiteral("Isıl baskı kritik"),
                       QStringLiteral("macOS termal durumu kritik olarak bildiriyor."),
                       QStringLiteral("Yoğun işleri durdur ve hava akışını açık bırak."),
                       QStringLiteral("thermal-critical")};
}

} // namespace

TEST(FreedesktopNotificationService, SendsOneNotificationPerEventIdentifiedByTheEvent) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection server = bus.connect(QStringLiteral("server"));
    FakeNotificationServer fake;
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

    FreedesktopNotificationService service(bus.connect(QStringLiteral("client")));
    EXPECT_TRUE(QCoro::waitFor(service.requestAuthorization()));
    const HealthEvent event = criticalEvent();
    service.deliver(event);
    ASSERT_TRUE(spinUntil([&] { return fake.shown.size() == 1; }));
    const auto& shown = fake.shown[0];
    EXPECT_EQ(shown.app, QStringLiteral("Kestrum"));
    EXPECT_EQ(shown.summary, QStringLiteral("Isıl baskı kritik"));
    // The event keeps the text as written; the desktop shows what is true on Linux.
    EXPECT_EQ(shown.body, QStringLiteral("Sistem termal durumu kritik olarak bildiriyor. Yoğun işleri durdur "
                                         "ve hava akışını açık bırak."));
    EXPECT_EQ(shown.hints.value(QLatin1String(FreedesktopNotificationService::kEventIdHint)).toString(),
              uuidText(event.id));
    EXPECT_EQ(shown.hints.value(QStringLiteral("urgency")).toInt(), 2);
}

TEST(FreedesktopNotificationService, AMissingServerIsARefusalNotAnError) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    FreedesktopNotificationService service(bus.connect(QStringLiteral("lonely")));
    EXPECT_FALSE(QCoro::waitFor(service.requestAuthorization()));
    service.deliver(criticalEvent()); // nothing listens; nothing breaks
    FreedesktopNotificationService disconnected(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(QCoro::waitFor(disconnected.requestAuthorization()));
}

TEST(MonitorBusService, ARunningMonitorIsControlledOverTheBus) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    Date now = Date::now();
    InMemoryPreferencesStore preferences;
    SystemMonitorStore::Dependencies d;
    d.sampler = std::make_shared<FakeSampler>(&now);
    d.preferences = &preferences;
    auto repository = std::make_shared<FakeRepository>();
    d.archiveRepository = repository;
    auto notifications = std::make_shared<FakeNotifications>();
    d.notificationService = notifications;
    d.dateProvider = [&] { return now; };
    SystemMonitorStore store(std::move(d));
    QCoro::waitFor(store.prepareArchive());

    MonitorBusService service(store, bus.connect(QStringLiteral("monitor")));
    ASSERT_TRUE(service.registerOnBus());
    MonitorBusService second(store, bus.connect(QStringLiteral("second")));
    EXPECT_FALSE(second.registerOnBus()) << "only one monitor owns the name";

    const QDBusConnection client = bus.connect(QStringLiteral("cli"));
    // The client blocks on the bus while this thread must answer, so the calls run on a helper thread.
    std::optional<QVariantList> reply;
    auto call = [&](const QString& method, const QVariantList& args) {
        reply.reset();
        std::atomic<bool> answered = false;
        std::thread caller([&] {
            reply = callRunningMonitor(method, args, client);
            answered = true;
        });
        spinUntil([&] { return answered.load(); });
        caller.join();
    };
    call(QStringLiteral("StartIncident"), {QStringLiteral("fan")});
    ASSERT_TRUE(reply);
    ASSERT_TRUE(spinUntil([&] { return store.activeIncident().has_value(); }));
    EXPECT_EQ(store.activeIncident()->note, QStringLiteral("fan"));
    EXPECT_EQ(repository->stored.incidents.size(), 1u);

    call(QStringLiteral("SetNotificationsEnabled"), {true});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(0).toString(),
              QStringLiteral("Önemli sağlık uyarıları için Mac bildirimleri açıldı."));
    EXPECT_TRUE(store.notificationsEnabled());

    call(QStringLiteral("IsMonitoring"), {});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(0).toBool(), false);
}

#include "DBusServicesTest.moc"
