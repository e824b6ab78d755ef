#include "FreedesktopNotificationService.h"
#include "FullScanReminderNotifier.h"
#include "MonitorBusService.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "core/monitor/MonitorFakes.h"
#include "foundation/PreferencesStore.h"
#include "fullscan/FullSystemScanReminderSchedule.h"

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

public:
    // Takes the desktop's notification name on `bus`.
    bool serveOn(PrivateBus& bus) {
        QDBusConnection server = bus.connect(QStringLiteral("server"));
        return server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportAllSlots) &&
               server.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
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
    FakeNotificationServer fake;
    ASSERT_TRUE(fake.serveOn(bus));

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

// The reminder that fell due while nothing ran rings as soon as the writer starts, once; none is sent
// before it is due.
TEST(FullScanReminderNotifier, RingsADueReminderOnceAndNothingBefore) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    FakeNotificationServer fake;
    ASSERT_TRUE(fake.serveOn(bus));
    FreedesktopNotificationService notifications(bus.connect(QStringLiteral("client")));

    for (const bool overdue : {false, true}) {
        Date now = Date::now();
        InMemoryPreferencesStore preferences;
        preferences.setValue(SystemMonitorStore::kReminderIntervalDaysKey, 7.0);
        preferences.setValue(SystemMonitorStore::kNextReminderAtKey,
                             now.addingSeconds(overdue ? -3 * 86'400 : 3600));
        SystemMonitorStore::Dependencies d;
        d.sampler = std::make_shared<FakeSampler>(&now);
        d.preferences = &preferences;
        d.archiveRepository = std::make_shared<FakeRepository>();
        d.notificationService = std::make_shared<FakeNotifications>();
        d.dateProvider = [&] { return now; };
        SystemMonitorStore store(std::move(d));
        fake.shown.clear();

        FullScanReminderNotifier reminder(store, notifications);
        reminder.start();
        spinUntil([&] { return !fake.shown.empty(); }, 300);
        if (!overdue) {
            EXPECT_TRUE(fake.shown.empty()) << "not due for another hour";
            continue;
        }
        ASSERT_EQ(fake.shown.size(), 1u);
        EXPECT_EQ(fake.shown[0].summary, FullSystemScanReminderSchedule::title());
        EXPECT_EQ(fake.shown[0].hints.value(QStringLiteral("x-kestrum-request-id")).toString(),
                  FullSystemScanReminderSchedule::kRequestIdentifier);
        // Taken: a second look finds nothing due until the next interval.
        FullScanReminderNotifier again(store, notifications);
        again.start();
        spinUntil([] { return false; }, 200);
        EXPECT_EQ(fake.shown.size(), 1u);
    }
}

TEST(MonitorBusService, AnswersOnlyForItsOwnFoldersAndOnlyOnceTheChangeIsSaved) {
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

    const QString data = QStringLiteral("/tmp/kestrum-bus-test/data");
    const QString config = QStringLiteral("/tmp/kestrum-bus-test/config");
    MonitorBusService service(store, data, config, bus.connect(QStringLiteral("monitor")));
    ASSERT_TRUE(service.registerOnBus());
    MonitorBusService second(store, data, config, bus.connect(QStringLiteral("second")));
    EXPECT_FALSE(second.registerOnBus()) << "only one monitor owns the name";

    const QDBusConnection client = bus.connect(QStringLiteral("cli"));
    // The client blocks on the bus while this thread must answer, so the calls run on a helper thread.
    MonitorCallResult reply;
    auto call = [&](const QString& method, const QVariantList& args) {
        std::atomic<bool> answered = false;
        std::thread caller([&] {
            reply = callRunningMonitor(method, args, client);
            answered = true;
        });
        spinUntil([&] { return answered.load(); });
        caller.join();
    };
    using Status = MonitorCallResult::Status;

    call(QStringLiteral("StartIncident"), {QStringLiteral("/tmp/elsewhere"), QStringLiteral("fan")});
    EXPECT_EQ(reply.status, Status::otherFolder) << "another folder's marker is not this monitor's";
    EXPECT_FALSE(store.activeIncident());

    repository->deferSaves = true; // the reply must wait for the save
    std::atomic<bool> answered = false;
    std::thread caller([&] {
        reply = callRunningMonitor(QStringLiteral("StartIncident"),
                                   {data + QStringLiteral("/"), QStringLiteral("fan")}, client);
        answered = true;
    });
    const bool opened = spinUntil([&] { return store.activeIncident().has_value(); });
    spinUntil([] { return false; }, 200);
    EXPECT_FALSE(answered.load()) << "no reply before the archive is saved";
    repository->completeSaves();
    spinUntil([&] { return answered.load(); });
    caller.join();
    repository->deferSaves = false;
    ASSERT_TRUE(opened) << int(reply.status) << reply.errorMessage.toStdString();
    ASSERT_EQ(reply.status, Status::succeeded);
    EXPECT_EQ(reply.arguments.value(0).toString(), QStringLiteral("Olay işareti başlatıldı."));
    EXPECT_EQ(repository->stored.incidents.size(), 1u);

    call(QStringLiteral("StartIncident"), {data, QStringLiteral("again")});
    EXPECT_EQ(reply.status, Status::failed);
    EXPECT_EQ(reply.errorMessage, QStringLiteral("Zaten açık bir olay işareti var; önce onu durdur."));

    repository->failSave = true;
    call(QStringLiteral("StopIncident"), {data, QString()});
    EXPECT_EQ(reply.status, Status::failed);
    EXPECT_EQ(reply.errorMessage, QStringLiteral("Kalıcı sağlık geçmişi kaydedilemedi: Disk dolu."));
    repository->failSave = false;

    call(QStringLiteral("SetNotificationsEnabled"), {data, true});
    EXPECT_EQ(reply.status, Status::otherFolder) << "notifications belong to the configuration folder";
    notifications->grant = false;
    call(QStringLiteral("SetNotificationsEnabled"), {config, true});
    ASSERT_EQ(reply.status, Status::succeeded);
    EXPECT_FALSE(reply.arguments.value(0).toBool()) << "a refusal reaches the caller";
    EXPECT_EQ(reply.arguments.value(1).toString(),
              QStringLiteral("Bildirim izni verilmedi. Uyarılar Sağlık Merkezi’nde görünmeye devam eder."));

    call(QStringLiteral("IsMonitoring"), {});
    ASSERT_EQ(reply.status, Status::succeeded);
    EXPECT_EQ(reply.arguments.value(0).toBool(), false);
}

#include "DBusServicesTest.moc"
