#include "StoreTestFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <qcoro/qcorosignal.h>
#include <qcoro/qcorotask.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Lets a fake operation run until the test opens it.
class Gate : public QObject {
    Q_OBJECT
public:
    void open() { Q_EMIT opened(); }
Q_SIGNALS:
    void opened();
};

using StoreTest = StoreFixture;

} // namespace

TEST_F(StoreTest, SampleIntervalIsReadClampedAndSaved) {
    struct Case {
        std::optional<double> stored;
        double expected;
    } cases[] = {{std::nullopt, 2}, {0, 2}, {-3, 2}, {5, 5}, {45, 30}};
    for (const auto& c : cases) {
        if (c.stored)
            preferences.setValue(SystemMonitorStore::kSampleIntervalKey, *c.stored);
        else
            preferences.remove(SystemMonitorStore::kSampleIntervalKey);
        EXPECT_EQ(make().sampleInterval(), c.expected);
    }
    make();
    store->setSampleInterval(0.5);
    EXPECT_EQ(store->sampleInterval(), 1);
    EXPECT_EQ(preferences.numberValue(SystemMonitorStore::kSampleIntervalKey), 1.0);
    store->setSampleInterval(45);
    EXPECT_EQ(store->sampleInterval(), 30);
    EXPECT_EQ(preferences.numberValue(SystemMonitorStore::kSampleIntervalKey), 30.0);
}

TEST_F(StoreTest, ConcurrentRefreshesShareOneSample) {
    make();
    sampler->deferred = true;
    auto first = store->refresh();
    auto second = store->refresh();
    EXPECT_EQ(sampler->calls, 1);
    sampler->release();
    const auto a = QCoro::waitFor(std::move(first));
    const auto b = QCoro::waitFor(std::move(second));
    EXPECT_TRUE(a.succeeded);
    EXPECT_EQ(a, b);
    EXPECT_EQ(store->history().size(), 1u);
    // The next refresh takes a new sample.
    sampler->deferred = false;
    EXPECT_NE(refreshNow().snapshotID, a.snapshotID);
    EXPECT_EQ(sampler->calls, 2);
}

TEST_F(StoreTest, HistoryIsCappedAt1800) {
    make();
    QUuid firstKept;
    for (int i = 0; i < 1801; ++i) {
        advance(2);
        const auto outcome = refreshNow();
        if (i == 1)
            firstKept = outcome.snapshotID;
    }
    ASSERT_EQ(store->history().size(), 1800u);
    EXPECT_EQ(store->history().front().id, firstKept);
}

TEST_F(StoreTest, OneSampleAMinuteIsPersistedOnlyOnceTheArchiveIsPrepared) {
    make();
    sampler->next.thermal = ThermalLevel::critical; // raises an event at once
    refreshNow();
    EXPECT_TRUE(store->persistentHistory().empty()) << "nothing persisted before preparation";
    EXPECT_TRUE(store->healthEvents().empty()) << "no alert before preparation";
    EXPECT_EQ(repository->saves, 0);

    QCoro::waitFor(store->prepareArchive());
    sampler->next.thermal = ThermalLevel::nominal;
    struct Step {
        double advanceBy;
        size_t persisted;
    } steps[] = {{0, 1}, {59, 1}, {1, 2}, {60, 3}};
    for (const auto& step : steps) {
        advance(step.advanceBy);
        refreshNow();
        EXPECT_EQ(store->persistentHistory().size(), step.persisted) << "after " << step.advanceBy;
    }
    EXPECT_EQ(store->personalBaseline().sampleCount, 3)
        << "the baseline is recomputed from the persisted samples";
    advance(-200); // the clock went backwards, into an earlier minute
    refreshNow();
    EXPECT_EQ(store->persistentHistory().size(), 4u);
    EXPECT_EQ(repository->stored.samples.size(), 4u);
}

TEST_F(StoreTest, ArchivePreparationLoadsCompactsAndReportsFailures) {
    HealthSample old;
    old.id = newUuid();
    old.timestamp = now.addingSeconds(-40 * 86400.0);
    HealthSample recent = old;
    recent.id = newUuid();
    recent.timestamp = now.addingSeconds(-3600);
    repository->stored.samples = {old, recent};
    PerformanceSession leftOpen;
    leftOpen.id = newUuid();
    leftOpen.startedAt = now.addingSeconds(-600);
    leftOpen.lastRecordedAt = now.addingSeconds(-300);
    repository->stored.performanceSessions = {leftOpen};
    make();
    QCoro::waitFor(store->prepareArchive());
    EXPECT_TRUE(store->isArchivePrepared());
    ASSERT_EQ(store->persistentHistory().size(), 1u);
    EXPECT_EQ(repository->saves, 1) << "compaction changed the archive, so it is saved back";
    EXPECT_EQ(repository->stored.performanceSessions[0].endedAt, now.addingSeconds(-300))
        << "a session left open ends at its last recorded time";

    repository->failLoad = true;
    make();
    QCoro::waitFor(store->prepareArchive());
    EXPECT_FALSE(store->isArchivePrepared());
    EXPECT_EQ(store->persistenceError(),
              QStringLiteral("Kalıcı sağlık geçmişi açılamadı: JSON biçimi bozuk (konum 3)."));
    EXPECT_FALSE(QCoro::waitFor(store->persistArchive())) << "an unprepared store never writes";
}

TEST_F(StoreTest, SaveFailuresAndAnEraseRacingASave) {
    make();
    QCoro::waitFor(store->prepareArchive());
    repository->failSave = true;
    refreshNow();
    EXPECT_EQ(store->persistenceError(), QStringLiteral("Kalıcı sağlık geçmişi kaydedilemedi: Disk dolu."));
    EXPECT_EQ(store->persistentHistory().size(), 1u) << "the lists stay in memory";

    repository->failSave = false;
    repository->deferSaves = true;
    advance(60);
    auto save = store->persistArchive(); // holds the sample
    auto erase = store->clearHealthHistory();
    repository->completeSaves();
    EXPECT_FALSE(QCoro::waitFor(std::move(save))) << "a save overtaken by an erase does not report success";
    QCoro::waitFor(std::move(erase));
    EXPECT_TRUE(repository->stored.samples.empty()) << "the erase's own save comes last";
    EXPECT_TRUE(store->persistenceError().isEmpty());
    EXPECT_EQ(store->historyEraseGeneration(), 1u);
    EXPECT_EQ(store->history().size(), 1u) << "the in-memory snapshots stay";
}

TEST_F(StoreTest, SustainedProblemsBecomeEventsAndEligibleOnesAreNotified) {
    make();
    QCoro::waitFor(store->prepareArchive());
    QCoro::waitFor(store->setNotificationsEnabled(true));
    EXPECT_TRUE(store->notificationsEnabled());
    EXPECT_EQ(store->notificationStatusMessage(),
              QStringLiteral("Önemli sağlık uyarıları için Mac bildirimleri açıldı."));

    sampler->next.cpu.totalUsage = 0.95;
    for (int i = 0; i < 300; ++i) { // 600 s of high CPU at 2 s
        refreshNow();
        advance(2);
    }
    EXPECT_TRUE(store->healthEvents().empty()) << "cpu-high needs 600 s";
    refreshNow();
    ASSERT_EQ(store->healthEvents().size(), 1u);
    EXPECT_EQ(store->healthEvents()[0].signature, QStringLiteral("cpu-high"));
    ASSERT_EQ(notifications->delivered.size(), 1u);
    EXPECT_EQ(repository->stored.events.size(), 1u) << "events are saved at once";

    advance(2);
    refreshNow();
    EXPECT_EQ(store->healthEvents().size(), 1u) << "cooldown";
    QCoro::waitFor(store->setNotificationsEnabled(false));
    sampler->next.cpu.totalUsage = 0.99; // critical: a new event at once, but notifications are off
    advance(2);
    refreshNow();
    EXPECT_EQ(store->healthEvents().size(), 2u);
    EXPECT_EQ(notifications->delivered.size(), 1u);

    notifications->grant = false;
    QCoro::waitFor(store->setNotificationsEnabled(true));
    EXPECT_FALSE(store->notificationsEnabled());
    EXPECT_EQ(preferences.boolValue(SystemMonitorStore::kNotificationsEnabledKey), false);
    EXPECT_EQ(store->notificationStatusMessage(),
              QStringLiteral("Bildirim izni verilmedi. Uyarılar Sağlık Merkezi’nde görünmeye devam eder."));
}

TEST_F(StoreTest, LoopRunsStopsAndSurvivesSamplerFailures) {
    make();
    sleeper->stopAfter = 3;
    store->start();
    EXPECT_TRUE(store->isMonitoring());
    // The instant sleeper ran the loop three times, then ended it.
    EXPECT_EQ(sampler->calls, 3);
    EXPECT_EQ(sleeper->lastSeconds, 2);
    store->stop();
    EXPECT_FALSE(store->isMonitoring());
    ASSERT_EQ(store->observationRows().size(), 3u);
    EXPECT_EQ(store->observationRows()[0].detail,
              QStringLiteral("Canlı izleme kapalı; önceki gözlem sonucu güncel sayılmaz."));

    sampler->failing = true;
    const auto outcome = refreshNow();
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(store->lastError(), QStringLiteral("Örnek alınamadı."));
    EXPECT_EQ(store->history().size(), 3u) << "the previous snapshots are kept";
    sampler->failing = false;
    refreshNow();
    EXPECT_TRUE(store->lastError().isEmpty());
}

TEST_F(StoreTest, SleepAndWakeInterruptTheObservation) {
    make();
    sleeper->stopAfter = 1;
    store->start();
    for (int i = 0; i < 3; ++i) {
        advance(2);
        refreshNow();
    }
    EXPECT_EQ(store->observationRows()[0].status, QStringLiteral("Karşılaştırılamıyor"));
    Q_EMIT sleepWake.willSleep();
    advance(2);
    refreshNow(); // taken while asleep: not observed
    EXPECT_EQ(store->observationRows()[0].detail,
              QStringLiteral("Uyku veya uyanma gözlemi kesti; yeni, kesintisiz ölçüm gerekiyor."));
    Q_EMIT sleepWake.didWake();
    EXPECT_TRUE(store->isMonitoring()) << "the loop keeps its schedule";
    advance(2);
    refreshNow();
    EXPECT_EQ(store->observationRows()[0].detail,
              QStringLiteral("Bu ölçüm oturumunda karşılaştırılabilir yüksek sinyal henüz gözlenmedi."));
}

TEST_F(StoreTest, ChangingTheIntervalRestartsTheObservation) {
    make();
    sleeper->stopAfter = 1;
    store->start();
    sampler->next.cpu.totalUsage = 0.97;
    advance(2);
    refreshNow();
    ASSERT_EQ(store->observationRows()[0].status, QStringLiteral("Sinyal yüksek"));
    // A sample taken before the change must not count in the observation that follows it.
    sampler->deferred = true;
    advance(2);
    auto inFlight = store->refresh();
    store->setSampleInterval(5);
    sampler->release();
    QCoro::waitFor(std::move(inFlight));
    EXPECT_EQ(store->observationRows()[0].status, QStringLiteral("Karşılaştırılamıyor"));
}

TEST_F(StoreTest, IncidentsAreMarkedAndSaved) {
    make();
    QCoro::waitFor(store->prepareArchive());
    QCoro::waitFor(store->startIncident(QStringLiteral("  fan sesi \n")));
    ASSERT_TRUE(store->activeIncident());
    EXPECT_EQ(store->activeIncident()->note, QStringLiteral("fan sesi"));
    QCoro::waitFor(store->startIncident(QStringLiteral("ikinci"))); // one open marker at a time
    EXPECT_EQ(store->incidents().size(), 1u);
    advance(120);
    QCoro::waitFor(store->stopIncident());
    EXPECT_FALSE(store->activeIncident());
    ASSERT_EQ(repository->stored.incidents.size(), 1u);
    EXPECT_EQ(repository->stored.incidents[0].endedAt, now);
}

TEST_F(StoreTest, CooldownArithmeticAndExpiredCooldowns) {
    preferences.setValue(SystemMonitorStore::kCooldownUntilKey, now.addingSeconds(-5));
    make();
    EXPECT_FALSE(store->intensiveTestCooldownUntil());
    EXPECT_FALSE(preferences.value(SystemMonitorStore::kCooldownUntilKey))
        << "an expired cooldown is removed";

    refreshNow();
    const Date noon = now;
    auto never = [](OperationContext&, std::stop_token, ProgressReporter) -> QCoro::Task<ArchiveCommit> {
        co_return ArchiveCommit{};
    };
    ASSERT_TRUE(store->startOperation(UserOperation::deepHealthTest, never));
    EXPECT_EQ(store->intensiveTestCooldownUntil(), noon.addingSeconds(470 + 900));
    EXPECT_EQ(preferences.dateValue(SystemMonitorStore::kCooldownUntilKey), noon.addingSeconds(1370));
    advance(600);
    EXPECT_FALSE(store->startOperation(UserOperation::fullSystemScan, never));
    EXPECT_EQ(store->fullSystemScanError(),
              QStringLiteral("Mac’in soğuması için yaklaşık 13 dakika sonra yeniden deneyin."));
    advance(770);
    EXPECT_TRUE(store->refusalReason(UserOperation::fullSystemScan).isEmpty());
}

TEST_F(StoreTest, OperationFrameConflictsResultsCancellationAndFailures) {
    make();
    QCoro::waitFor(store->prepareArchive());
    refreshNow();

    Gate gate;
    const auto gated = [&gate](CPUBenchmarkResult result) {
        return [&gate, result](OperationContext&, std::stop_token stop,
                               ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
            report(OperationProgress{0.5});
            co_await qCoro(&gate, &Gate::opened);
            if (stop.stop_requested())
                throw CancellationError();
            co_return [result](HealthArchive& archive) { archive.cpuBenchmarkResults.push_back(result); };
        };
    };
    CPUBenchmarkResult result;
    result.endedAt = now;
    result.personalPerformancePercent = 91;
    ASSERT_TRUE(store->startOperation(UserOperation::cpuBenchmark, gated(result)));
    EXPECT_TRUE(store->isCPUBenchmarkRunning());
    ASSERT_TRUE(store->progress(UserOperation::cpuBenchmark));
    EXPECT_EQ(store->progress(UserOperation::cpuBenchmark)->fraction, 0.5);
    struct Conflict {
        UserOperation operation;
        const char* message;
    } conflicts[] = {
        {UserOperation::networkSpeed, "CPU benchmark çalışırken hız testi başlatılamaz."},
        {UserOperation::networkQuality, "CPU benchmark çalışırken ağ testi başlatılamaz."},
        {UserOperation::deepHealthTest, "CPU benchmark çalışırken derin test başlatılamaz."},
        {UserOperation::quickHealthTest, "CPU benchmark çalışırken sağlık testi başlatılamaz."},
        {UserOperation::fullSystemScan,
         "Başka bir test çalışıyor. Tam Tarama’yı test tamamlandıktan sonra başlat."},
    };
    for (const auto& c : conflicts) {
        EXPECT_FALSE(store->startOperation(c.operation, gated({})));
        EXPECT_EQ(store->operationError(c.operation), QString::fromUtf8(c.message)) << c.message;
    }
    EXPECT_FALSE(store->startOperation(UserOperation::cpuBenchmark, gated({}))) << "already running";
    gate.open();
    EXPECT_TRUE(spinUntil([&] { return !store->isCPUBenchmarkRunning(); }));
    EXPECT_FALSE(store->cpuBenchmarkProgress().isValid());
    ASSERT_EQ(repository->stored.cpuBenchmarkResults.size(), 1u) << "the result is saved";
    EXPECT_EQ(repository->stored.cpuBenchmarkResults[0].personalPerformancePercent, 91);

    ASSERT_TRUE(store->startOperation(UserOperation::quickHealthTest, gated(result)));
    store->cancelOperation(UserOperation::quickHealthTest);
    gate.open();
    EXPECT_TRUE(spinUntil([&] { return !store->isQuickHealthTestRunning(); }));
    EXPECT_EQ(store->healthTestError(), QStringLiteral("Hızlı sağlık testi iptal edildi."));
    EXPECT_EQ(store->archive().cpuBenchmarkResults.size(), 1u) << "a cancelled test stores nothing";

    auto failing = [](OperationContext&, std::stop_token, ProgressReporter) -> QCoro::Task<ArchiveCommit> {
        throw KestrumError(QStringLiteral("x"), QStringLiteral("Ölçüm başarısız."));
        co_return ArchiveCommit{};
    };
    ASSERT_TRUE(store->startOperation(UserOperation::networkQuality, failing));
    EXPECT_TRUE(spinUntil([&] { return !store->isNetworkQualityTestRunning(); }));
    EXPECT_EQ(store->networkQualityTestError(), QStringLiteral("Ölçüm başarısız."));

    sampler->next.network = NetworkStats::disconnected();
    refreshNow();
    EXPECT_FALSE(store->startOperation(UserOperation::networkSpeed, gated({})));
    EXPECT_EQ(store->networkSpeedTestError(),
              QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
}

TEST_F(StoreTest, LowBatteryBlocksDeepTestsUnlessAllowed) {
    make();
    sampler->next.battery = BatteryStats::notPresent(MetricAvailability::available());
    sampler->next.battery.isPresent = true;
    sampler->next.battery.chargeFraction = 0.15;
    sampler->next.battery.isConnectedToPowerAdapter = false;
    refreshNow();
    EXPECT_EQ(
        store->refusalReason(UserOperation::deepHealthTest),
        QStringLiteral(
            "Batarya %20’nin altında. Prize bağlayın veya düşük batarya uyarısında devam etmeyi seçin."));
    EXPECT_TRUE(store->refusalReason(UserOperation::deepHealthTest, true).isEmpty());
    sampler->next.battery.chargeFraction.reset(); // an unknown charge never blocks
    refreshNow();
    EXPECT_TRUE(store->refusalReason(UserOperation::fullSystemScan).isEmpty());
}

#include "SystemMonitorStoreTest.moc"
