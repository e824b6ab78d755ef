// Disk health from udisks2, played by fake services on a private bus: ATA and NVMe SMART, a missing
// service that answers at once, and a hung one that costs no more than the time budget.

#include "UDisks2StorageHealthReader.h"

#include "PrivateBus.h"
#include "TestSupport.h"

#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class FakeBlock : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Block")
    Q_PROPERTY(QDBusObjectPath Drive MEMBER drive)
public:
    explicit FakeBlock(QString path) : drive(std::move(path)) {}
    QDBusObjectPath drive;
};

class FakeAta : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Drive.Ata")
    Q_PROPERTY(bool SmartSupported MEMBER supported)
    Q_PROPERTY(qulonglong SmartUpdated MEMBER updated)
    Q_PROPERTY(bool SmartFailing MEMBER failing)
    Q_PROPERTY(qulonglong SmartPowerOnSeconds MEMBER powerOnSeconds)
    Q_PROPERTY(double SmartTemperature MEMBER temperatureKelvin)
    Q_PROPERTY(qlonglong SmartNumBadSectors MEMBER badSectors)
public:
    bool supported = true;
    qulonglong updated = 1'765'000'000;
    bool failing = false;
    qulonglong powerOnSeconds = 7'200'000; // 2000 hours
    double temperatureKelvin = 309.15;     // 36 °C
    qlonglong badSectors = 0;
};

class FakeNVMe : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.NVMe.Controller")
    Q_PROPERTY(qulonglong SmartUpdated MEMBER updated)
    Q_PROPERTY(QStringList SmartCriticalWarning MEMBER warnings)
    Q_PROPERTY(qulonglong SmartPowerOnHours MEMBER powerOnHours)
    Q_PROPERTY(ushort SmartTemperature MEMBER temperatureKelvin)
public:
    qulonglong updated = 1'765'000'000;
    QStringList warnings;
    qulonglong powerOnHours = 3120;
    ushort temperatureKelvin = 314;
public Q_SLOTS:
    QVariantMap SmartGetAttributes(const QVariantMap&) {
        return {{QStringLiteral("percent_used"), QVariant::fromValue<uchar>(7)},
                {QStringLiteral("media_errors"), QVariant::fromValue<qulonglong>(2)},
                {QStringLiteral("avail_spare"), QVariant::fromValue<uchar>(100)}};
    }
};

// A drive object without SMART interfaces (udisks before 2.10 for NVMe drives).
class FakePlainDrive : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Drive")
    Q_PROPERTY(QString Model MEMBER model)
public:
    QString model = QStringLiteral("Samsung SSD 980 PRO 1TB");
};

constexpr auto kExport = QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSlots;
const QString kBlocks = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
const QString kDrives = QStringLiteral("/org/freedesktop/UDisks2/drives/");

// The reader blocks on the bus while this thread serves the fakes, so it runs on a helper thread.
StorageHealth readOffThread(UDisks2StorageHealthReader& reader, const QString& device,
                            qint64* elapsed = nullptr, bool serve = true) {
    StorageHealth health;
    std::atomic<bool> done = false;
    QElapsedTimer timer;
    timer.start();
    std::thread thread([&] {
        health = reader.read(device);
        done = true;
    });
    if (serve)
        spinUntil([&] { return done.load(); });
    thread.join();
    if (elapsed)
        *elapsed = timer.elapsed();
    return health;
}

} // namespace

TEST(UDisks2StorageHealth, ReadsAtaAndNVMeSmart) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection server = bus.connect(QStringLiteral("udisks"));
    FakeBlock sda(kDrives + QStringLiteral("Samsung_SSD_870"));
    FakeAta ata;
    FakeBlock nvme(kDrives + QStringLiteral("WD_SN850"));
    FakeNVMe controller;
    FakeBlock oldNvme(kDrives + QStringLiteral("Samsung_980"));
    FakePlainDrive plain;
    FakeBlock dmChild(QStringLiteral("/"));
    ASSERT_TRUE(server.registerObject(kBlocks + QStringLiteral("sda"), &sda, kExport));
    ASSERT_TRUE(server.registerObject(sda.drive.path(), &ata, kExport));
    ASSERT_TRUE(server.registerObject(kBlocks + QStringLiteral("nvme0n1"), &nvme, kExport));
    ASSERT_TRUE(server.registerObject(nvme.drive.path(), &controller, kExport));
    ASSERT_TRUE(server.registerObject(kBlocks + QStringLiteral("nvme1n1"), &oldNvme, kExport));
    ASSERT_TRUE(server.registerObject(oldNvme.drive.path(), &plain, kExport));
    ASSERT_TRUE(server.registerObject(kBlocks + QStringLiteral("dm_2d0"), &dmChild, kExport));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.UDisks2")));

    QTemporaryDir noSys;
    UDisks2StorageHealthReader reader(bus.connect(QStringLiteral("kestrum")), noSys.path());

    const StorageHealth sata = readOffThread(reader, QStringLiteral("sda"));
    EXPECT_EQ(sata.source, QStringLiteral("udisks2"));
    EXPECT_EQ(sata.failurePredicted, false);
    EXPECT_DOUBLE_EQ(*sata.powerOnHours, 2000.0);
    EXPECT_NEAR(*sata.temperatureCelsius, 36.0, 1e-9);
    EXPECT_EQ(sata.badSectors, 0);
    EXPECT_FALSE(sata.percentageUsed);
    EXPECT_FALSE(sata.unavailableReason);

    const StorageHealth ssd = readOffThread(reader, QStringLiteral("nvme0n1"));
    EXPECT_EQ(ssd.percentageUsed, 7);
    EXPECT_EQ(ssd.mediaErrors, 2u);
    EXPECT_DOUBLE_EQ(*ssd.powerOnHours, 3120.0);
    EXPECT_NEAR(*ssd.temperatureCelsius, 40.85, 1e-9);
    EXPECT_EQ(ssd.failurePredicted, false);
    controller.warnings = {QStringLiteral("temperature")};
    EXPECT_EQ(readOffThread(reader, QStringLiteral("nvme0n1")).failurePredicted, false) << "heat is no wear";
    controller.warnings = {QStringLiteral("spare")};
    EXPECT_EQ(readOffThread(reader, QStringLiteral("nvme0n1")).failurePredicted, true);

    // What the drive or the service does not offer is said, with the reason.
    struct Case {
        const char* device;
        const char* reason;
    } cases[] = {
        {"nvme1n1", "Bu udisks2 sürümü NVMe sağlık verisi sunmuyor (2.10 veya üstü gerekir)."},
        {"dm-0", "udisks2 bu disk için sürücü bilgisi sunmuyor."},
        {"sdz", "udisks2 bu disk hakkında bilgi vermedi."},
    };
    for (const Case& c : cases) {
        const StorageHealth health = readOffThread(reader, QString::fromLatin1(c.device));
        EXPECT_FALSE(health.hasReadings()) << c.device;
        EXPECT_EQ(health.unavailableReason, QString::fromUtf8(c.reason)) << c.device;
    }
    ata.updated = 0;
    EXPECT_EQ(readOffThread(reader, QStringLiteral("sda")).unavailableReason,
              QStringLiteral("udisks2 bu sürücünün SMART verisini henüz toplamadı."));
    ata.supported = false;
    EXPECT_EQ(readOffThread(reader, QStringLiteral("sda")).unavailableReason,
              QStringLiteral("Sürücü SMART desteği bildirmiyor."));
}

TEST(UDisks2StorageHealth, MissingServiceAnswersAtOnceAndAHungOneWithinItsBudget) {
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QTemporaryDir noSys;
    // A budget far beyond any answer: the refusal must come from the bus, not from the clock.
    UDisks2StorageHealthReader absent(bus.connect(QStringLiteral("kestrum")), noSys.path(), 30000);
    readOffThread(absent, QStringLiteral("sda")); // the first call also sets up the connection
    qint64 elapsed = 0;
    const StorageHealth missing = readOffThread(absent, QStringLiteral("sda"), &elapsed);
    EXPECT_EQ(missing.unavailableReason, QStringLiteral("udisks2 hizmeti bu sistemde çalışmıyor."));
    EXPECT_LT(elapsed, 5000) << "the bus refuses an unknown name at once; the budget is not waited out";
    RecordProperty("absentServiceMilliseconds", static_cast<int>(elapsed));

    // The service owns its name but never answers (this thread does not serve it while the reader waits).
    QDBusConnection server = bus.connect(QStringLiteral("udisks"));
    FakeBlock block(kDrives + QStringLiteral("x"));
    ASSERT_TRUE(server.registerObject(kBlocks + QStringLiteral("sda"), &block, kExport));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.UDisks2")));
    UDisks2StorageHealthReader hung(bus.connect(QStringLiteral("kestrum2")), noSys.path(), 300);
    const StorageHealth late = readOffThread(hung, QStringLiteral("sda"), &elapsed, false);
    EXPECT_EQ(late.unavailableReason, QStringLiteral("udisks2 zamanında yanıt vermedi."));
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 3000) << "one budget for all calls, plus thread start-up on a slow build";
    RecordProperty("hungServiceMilliseconds", static_cast<int>(elapsed));

    // Without a bus nothing is asked; the reason says why.
    UDisks2StorageHealthReader noBus(std::nullopt, noSys.path());
    EXPECT_EQ(noBus.read(QStringLiteral("sda")).unavailableReason,
              QStringLiteral("Sistem veri yoluna bağlanılamadığı için udisks2 sorulamadı."));
    EXPECT_EQ(UDisks2StorageHealthReader::objectPathElement(QStringLiteral("dm-0")),
              QStringLiteral("dm_2d0"));
    EXPECT_EQ(UDisks2StorageHealthReader::objectPathElement(QStringLiteral("nvme0n1")),
              QStringLiteral("nvme0n1"));
}

#include "UDisks2StorageHealthReaderTest.moc"
