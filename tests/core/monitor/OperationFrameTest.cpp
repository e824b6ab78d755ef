#include "StoreTestFixture.h"

#include <QCoreApplication>
#include <functional>
#include <qcoro/qcorosignal.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class Gate : public QObject {
    Q_OBJECT
public:
    void open() { Q_EMIT opened(); }
Q_SIGNALS:
    void opened();
};

using FrameTest = StoreFixture;

QCoro::Task<ArchiveCommit> finishAtOnce(OperationContext&, std::stop_token, ProgressReporter) {
    co_return ArchiveCommit{};
}

void lowBattery(SystemSnapshot& s) {
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    s.battery.isPresent = true;
    s.battery.chargeFraction = 0.1;
}

} // namespace

// Each operation checks in the order its own rules give; the first failing check decides the text.
TEST_F(FrameTest, StartChecksFollowEachOperationsOwnOrder) {
    using Op = UserOperation;
    struct Case {
        const char* name;
        Op operation;
        std::function<void(SystemSnapshot&)> setup;
        bool sampled = true;
        bool cooldown = false;
        bool offersThermalSignal = true;
        const char* refusal = ""; // empty: it may start
    } cases[] = {
        {"quick before any sample",
         Op::quickHealthTest,
         {},
         false,
         false,
         true,
         "Testten önce güncel bir sistem ölçümü gerekiyor."},
        {"deep before any sample",
         Op::deepHealthTest,
         {},
         false,
         false,
         true,
         "Testten önce güncel bir sistem ölçümü gerekiyor."},
        {"benchmark before any sample",
         Op::cpuBenchmark,
         {},
         false,
         false,
         true,
         "Testten önce güncel bir sistem ölçümü gerekiyor."},
        {"quality without a connection", Op::networkQuality,
         [](SystemSnapshot& s) { s.network = NetworkStats::disconnected(); }, true, false, true,
         "Önce kullanılabilir bir ağ bağlantısı gerekiyor."},
        {"deep at serious", Op::deepHealthTest, [](SystemSnapshot& s) { s.thermal = ThermalLevel::serious; },
         true, false, true,
         "Termal durum ciddi seviyesine ulaştığı için test güvenli biçimde durduruldu. Mac’in soğumasını "
         "bekleyip yeniden deneyin."},
        {"benchmark at critical", Op::cpuBenchmark,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::critical; }, true, false, true,
         "Termal durum kritik olduğu için benchmark güvenli biçimde durduruldu."},
        {"benchmark with an unreadable signal", Op::cpuBenchmark,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::unavailable; }, true, false, true,
         "Güvenli benchmark için macOS termal durumunun okunabilmesi gerekiyor."},
        {"deep with an unreadable signal", Op::deepHealthTest,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::unavailable; }, true, false, true,
         "Derin test için macOS termal durumunun okunabilmesi gerekiyor. Termal izleme kullanılamıyorken "
         "yoğun test başlatılmadı."},
        {"deep on a machine without thermal signal", Op::deepHealthTest,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::unavailable; }, true, false, false, ""},
        {"benchmark on a machine without thermal signal but serious", Op::cpuBenchmark,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::serious; }, true, false, false,
         "Termal durum ciddi olduğu için benchmark güvenli biçimde durduruldu."},
        {"quick is not gated at start", Op::quickHealthTest,
         [](SystemSnapshot& s) { s.thermal = ThermalLevel::critical; }, true, false, true, ""},
        {"deep: low battery before thermal", Op::deepHealthTest,
         [](SystemSnapshot& s) {
             lowBattery(s);
             s.thermal = ThermalLevel::serious;
         },
         true, false, true,
         "Batarya %20’nin altında. Prize bağlayın veya düşük batarya uyarısında devam etmeyi seçin."},
        {"deep: cooldown before low battery", Op::deepHealthTest, lowBattery, true, true, true,
         "Mac’in soğuması için yaklaşık 10 dakika sonra yeniden deneyin."},
        {"benchmark: thermal before low battery", Op::cpuBenchmark,
         [](SystemSnapshot& s) {
             lowBattery(s);
             s.thermal = ThermalLevel::critical;
         },
         true, false, true, "Termal durum kritik olduğu için benchmark güvenli biçimde durduruldu."},
        {"benchmark on low battery", Op::cpuBenchmark, lowBattery, true, false, true,
         "Batarya %20’nin altında. Benchmark için Mac’i güç adaptörüne bağlayın."},
        {"benchmark ignores the cooldown", Op::cpuBenchmark, {}, true, true, true, ""},
        {"full scan: cooldown before low battery", Op::fullSystemScan, lowBattery, true, true, true,
         "Mac’in soğuması için yaklaşık 10 dakika sonra yeniden deneyin."},
        {"full scan on low battery", Op::fullSystemScan, lowBattery, true, false, true,
         "Batarya %20’nin altında. Prize bağla veya düşük batarya uyarısında devam etmeyi seç."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sampler->next = healthySnapshot();
        if (c.setup)
            c.setup(sampler->next);
        offersThermalSignal = c.offersThermalSignal;
        if (c.cooldown)
            preferences.setValue(SystemMonitorStore::kCooldownUntilKey, now.addingSeconds(590));
        else
            preferences.remove(SystemMonitorStore::kCooldownUntilKey);
        make();
        if (c.sampled)
            refreshNow();
        EXPECT_EQ(store->refusalReason(c.operation), QString::fromUtf8(c.refusal));
        EXPECT_EQ(store->startOperation(c.operation, finishAtOnce), *c.refusal == '\0');
        EXPECT_EQ(store->operationError(c.operation), QString::fromUtf8(c.refusal));
    }
}

TEST_F(FrameTest, AnOperationsOwnPreconditionRefusesBeforeTheCooldownIsReserved) {
    make();
    refreshNow();
    SystemMonitorStore::Options options;
    options.precondition = [](const SystemSnapshot& s) {
        return s.disk.availableBytes < 1000 ? QStringLiteral("Yer yok.") : QString();
    };
    EXPECT_FALSE(store->startOperation(UserOperation::deepHealthTest, finishAtOnce, options));
    EXPECT_EQ(store->deepHealthTestError(), QStringLiteral("Yer yok."));
    EXPECT_FALSE(store->intensiveTestCooldownUntil()) << "a refused start reserves nothing";
    EXPECT_FALSE(preferences.value(SystemMonitorStore::kCooldownUntilKey));
}

TEST_F(FrameTest, CommitIsAppliedOnlyWhenTheWorkFinishedUncancelled) {
    make();
    QCoro::waitFor(store->prepareArchive());
    refreshNow();
    Gate gate;
    // Work that ignores its token and always hands back a result: cancellation must still store nothing.
    HealthTestResult result;
    result.endedAt = now;
    auto stubborn = [&gate, result](OperationContext&, std::stop_token,
                                    ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
        report(OperationProgress{0.25, QStringLiteral("İşlemci"), 1, 6});
        co_await qCoro(&gate, &Gate::opened);
        co_return [result](HealthArchive& archive) { archive.healthTestResults.push_back(result); };
    };
    const int savesBefore = repository->saves;
    ASSERT_TRUE(store->startOperation(UserOperation::quickHealthTest, stubborn));
    ASSERT_TRUE(store->progress(UserOperation::quickHealthTest));
    EXPECT_EQ(store->progress(UserOperation::quickHealthTest)->stepCount, 6);
    EXPECT_EQ(qvariant_cast<OperationProgress>(store->healthTestProgress()).step, 1);
    store->cancelOperation(UserOperation::quickHealthTest);
    gate.open();
    EXPECT_TRUE(spinUntil([&] { return !store->isQuickHealthTestRunning(); }));
    EXPECT_TRUE(store->archive().healthTestResults.empty());
    EXPECT_EQ(repository->saves, savesBefore) << "nothing to save after a cancelled run";
    EXPECT_EQ(store->healthTestError(), QStringLiteral("Hızlı sağlık testi iptal edildi."));
    EXPECT_FALSE(store->progress(UserOperation::quickHealthTest));

    ASSERT_TRUE(store->startOperation(UserOperation::quickHealthTest, stubborn));
    EXPECT_TRUE(store->healthTestError().isEmpty()) << "a new start clears the last error";
    gate.open();
    EXPECT_TRUE(spinUntil([&] { return !store->isQuickHealthTestRunning(); }));
    EXPECT_EQ(repository->stored.healthTestResults.size(), 1u);
}

TEST_F(FrameTest, WorkSamplesThroughTheStoreAndSeesTheArchive) {
    repository->stored.cpuBenchmarkResults = {CPUBenchmarkResult{}};
    repository->stored.cpuBenchmarkResults[0].endedAt = now;
    make();
    QCoro::waitFor(store->prepareArchive());
    refreshNow();
    std::optional<SystemSnapshot> seen;
    size_t earlierResults = 0;
    auto sampling = [&](OperationContext& context, std::stop_token,
                        ProgressReporter) -> QCoro::Task<ArchiveCommit> {
        earlierResults = context.archive().cpuBenchmarkResults.size();
        seen = co_await context.freshSnapshot();
        co_return ArchiveCommit{};
    };
    const int callsBefore = sampler->calls;
    ASSERT_TRUE(store->startOperation(UserOperation::cpuBenchmark, sampling));
    EXPECT_TRUE(spinUntil([&] { return !store->isCPUBenchmarkRunning(); }));
    EXPECT_EQ(earlierResults, 1u);
    EXPECT_EQ(sampler->calls, callsBefore + 1);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->id, store->currentSnapshot().id) << "the fresh sample is the store's own";
    EXPECT_EQ(store->history().size(), 2u);
}

#include "OperationFrameTest.moc"
