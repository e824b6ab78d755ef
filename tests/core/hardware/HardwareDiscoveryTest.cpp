// The store's hardware profile: discovered once at start-up, between the archive and the loop, shared by
// every caller; and the discoverer running its readers off the main thread.

#include "core/monitor/StoreTestFixture.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"

#include <QPromise>
#include <QThread>
#include <deque>
#include <qcoro/qcorofuture.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Discoveries that finish only when the test says so, or fail.
class HeldDiscoverer : public HardwareProfileDiscovering {
public:
    int calls = 0;
    bool failing = false;

    QCoro::Task<HardwareProfile> discover() override {
        ++calls;
        if (failing)
            throw std::runtime_error("reader crashed");
        m_pending.emplace_back();
        m_pending.back().start();
        QFuture<HardwareProfile> future = m_pending.back().future();
        co_return co_await future;
    }
    size_t pending() const { return m_pending.size(); }
    void release(const QString& identifier) {
        while (!m_pending.empty()) {
            HardwareProfile profile = HardwareProfile::unavailable();
            profile.modelIdentifier = identifier;
            m_pending.front().addResult(profile);
            m_pending.front().finish();
            m_pending.pop_front();
        }
    }

private:
    std::deque<QPromise<HardwareProfile>> m_pending;
};

class HardwareInStore : public StoreFixture {
protected:
    std::shared_ptr<HeldDiscoverer> discoverer = std::make_shared<HeldDiscoverer>();

    SystemMonitorStore& makeWithDiscoverer() {
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.notificationService = notifications;
        d.loopSleeper = sleeper;
        d.dateProvider = [this] { return now; };
        d.monotonicClock = [this] { return monotonic; };
        d.hardware.discoverer = discoverer;
        store = std::make_unique<SystemMonitorStore>(std::move(d));
        return *store;
    }
};

} // namespace

TEST_F(HardwareInStore, StartUpDiscoversOnceBetweenTheArchiveAndTheLoop) {
    SystemMonitorStore& s = makeWithDiscoverer();
    sleeper->stopAfter = 1;
    EXPECT_FALSE(s.hardwareProfile());
    auto startUp = s.startUp();
    ASSERT_TRUE(spinUntil([&] { return discoverer->pending() == 1; }));
    EXPECT_TRUE(s.isArchivePrepared()) << "the archive comes first";
    EXPECT_TRUE(s.isDiscoveringHardware());
    EXPECT_FALSE(s.isMonitoring()) << "the loop waits for the profile";
    EXPECT_EQ(sampler->calls, 0);

    // A caller asking meanwhile shares the discovery in flight.
    auto second = s.discoverHardwareIfNeeded();
    int changes = 0;
    QObject::connect(&s, &SystemMonitorStore::hardwareChanged, [&] { ++changes; });
    discoverer->release(QStringLiteral("Mac17,2"));
    QCoro::waitFor(std::move(second));
    QCoro::waitFor(std::move(startUp));
    EXPECT_EQ(discoverer->calls, 1);
    ASSERT_TRUE(s.hardwareProfile());
    EXPECT_EQ(s.hardwareProfile()->modelIdentifier, QStringLiteral("Mac17,2"));
    EXPECT_FALSE(s.isDiscoveringHardware());
    EXPECT_GE(changes, 1);
    EXPECT_TRUE(spinUntil([&] { return sampler->calls >= 1; })) << "the loop starts after the profile";

    // Known once, never asked again.
    QCoro::waitFor(s.discoverHardwareIfNeeded());
    EXPECT_EQ(discoverer->calls, 1);
}

TEST_F(HardwareInStore, AFailedDiscoveryLeavesNoProfileAndMayBeRetried) {
    SystemMonitorStore& s = makeWithDiscoverer();
    discoverer->failing = true;
    QCoro::waitFor(s.discoverHardwareIfNeeded());
    EXPECT_FALSE(s.hardwareProfile());
    EXPECT_FALSE(s.isDiscoveringHardware());
    discoverer->failing = false;
    auto retry = s.discoverHardwareIfNeeded();
    ASSERT_TRUE(spinUntil([&] { return discoverer->pending() == 1; }));
    discoverer->release(QStringLiteral("QEMU Standard PC"));
    QCoro::waitFor(std::move(retry));
    ASSERT_TRUE(s.hardwareProfile());
    EXPECT_EQ(discoverer->calls, 2);
}

TEST_F(HardwareInStore, RecommendationsReadTheCurrentSnapshotEvenBeforeDiscovery) {
    SystemMonitorStore& s = makeWithDiscoverer();
    sampler->next.disk = DiskStats{1000, 30, MetricAvailability::available()};
    refreshNow();
    const auto list = s.hardwareRecommendations();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, QStringLiteral("storage-capacity"));
    EXPECT_EQ(list[0].action,
              QStringLiteral("Büyük dosyaları gözden geçir. Depolamayı değiştirmeden önce model "
                             "uyumluluğunu doğrula."));
}

namespace {

class CountingSystemReader : public SystemHardwareSnapshotReading {
public:
    std::atomic<int> reads = 0;
    std::atomic<bool> onMainThread = false;
    SystemHardwareSnapshot read() override {
        ++reads;
        onMainThread = QThread::currentThread() == qApp->thread();
        return {QStringLiteral("Mac17,2"), QStringLiteral("Apple M5"), 10, 10, 16 * 1'073'741'824ULL};
    }
};

class FixedStorageReader : public StorageDeviceIdentityReading {
public:
    StartupDiskReading read() override {
        StartupDiskReading r;
        r.identity = StorageDeviceIdentity{std::nullopt, QStringLiteral("APPLE SSD AP1024Z"),
                                           std::nullopt, 994'662'584'320,
                                           true,         std::nullopt};
        r.deviceName = QStringLiteral("nvme0n1");
        return r;
    }
};

class RecordingHealthReader : public StorageHealthReading {
public:
    QString askedFor;
    StorageHealth read(const QString& deviceName) override {
        askedFor = deviceName;
        StorageHealth health;
        health.unavailableReason = QStringLiteral("udisks2 hizmeti bu sistemde çalışmıyor.");
        return health;
    }
};

} // namespace

TEST(DefaultHardwareProfileDiscoverer, ReadsOffTheMainThreadEveryTime) {
    auto system = std::make_shared<CountingSystemReader>();
    auto health = std::make_shared<RecordingHealthReader>();
    DefaultHardwareProfileDiscoverer::Readers readers;
    readers.system = system;
    readers.storage = std::make_shared<FixedStorageReader>();
    readers.storageHealth = health;
    const Date fixed = Date::fromUnixSeconds(1'770'000'000);
    DefaultHardwareProfileDiscoverer discoverer(
        readers, {}, [fixed] { return fixed; }, [] { return false; });
    const HardwareProfile first = QCoro::waitFor(discoverer.discover());
    EXPECT_FALSE(system->onMainThread);
    EXPECT_EQ(health->askedFor, QStringLiteral("nvme0n1"));
    EXPECT_EQ(first.discoveredAt, fixed);
    EXPECT_TRUE(first.catalogMatched);
    // The 1 TB disk and 16 GB of memory pick their board.
    EXPECT_EQ(first.originalParts.back().partNumber, QStringLiteral("661-53088"));
    EXPECT_EQ(first.component(HardwareComponentKind::storage)->evidence,
              (std::vector<QString>{
                  QStringLiteral("SMART verisi okunamadı: udisks2 hizmeti bu sistemde çalışmıyor.")}));
    // No state is kept: a second discovery reads again.
    QCoro::waitFor(discoverer.discover());
    EXPECT_EQ(system->reads, 2);

    // Without any reader the profile is the honest "nothing known" one, not an error.
    const HardwareProfile bare = DefaultHardwareProfileDiscoverer().discoverNow();
    EXPECT_EQ(bare.modelIdentifier, QStringLiteral("Kullanılamıyor"));
    EXPECT_TRUE(bare.components.empty());
    EXPECT_EQ(bare.storageUnavailableReason, QStringLiteral("Başlangıç diski tanınamadı."));
}
