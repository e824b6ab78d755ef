// The health tests and the benchmark as the store runs them: start rules, the sequence with its samples
// and thermal stops, progress, cancellation, and what ends up in the archive.

#include "HealthTestFixtures.h"
#include "core/monitor/StoreTestFixture.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"
#include "healthtests/DeepHealthTestOperation.h"
#include "history/FileHealthArchiveRepository.h"

#include <QPromise>
#include <QTemporaryDir>
#include <functional>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr uint64_t kGiB = 1'073'741'824;

// Hands out results at once, or holds them until release(); a held workload whose stop was requested ends
// with CancellationError, as the real ones do. `onCall` lets a test change the machine mid-sequence.
class FakeWorkloads : public QuickHealthTestWorkloadRunning,
                      public DeepHealthTestWorkloadRunning,
                      public CPUBenchmarkWorkloadRunning {
public:
    bool hold = false;
    std::function<void(const QString&)> onCall;
    std::vector<QString> calls;
    std::vector<int> askedWorkers;
    std::vector<double> askedDurations;
    double cpuRate = 1e9;
    std::optional<double> gpuRate = 5e11;
    std::vector<double> benchmarkRates = {100e6, 101e6, 99e6, 400e6, 404e6, 396e6};

    QFuture<double> runCPUPass(std::stop_token stop) override { return deliver("cpu", cpuRate, stop); }
    QFuture<GPUThroughput> runGPUWorkload(std::stop_token stop) override {
        return deliver("gpu", gpu(), stop);
    }
    QFuture<HealthTestStorageMeasurement> runStorageWorkload(std::stop_token stop) override {
        return runStorageWorkload(64u << 20, stop);
    }
    QFuture<CPUPassMeasurement> runSustainedCPUPass(double duration, int maximumWorkers,
                                                    std::stop_token stop) override {
        askedWorkers.push_back(maximumWorkers);
        askedDurations.push_back(duration);
        return deliver("sustainedCPU", CPUPassMeasurement{cpuRate, std::min(maximumWorkers, 4)}, stop);
    }
    QFuture<GPUThroughput> runSustainedGPUWorkload(double duration, std::stop_token stop) override {
        askedDurations.push_back(duration);
        return deliver("sustainedGPU", gpu(), stop);
    }
    QFuture<HealthTestStorageMeasurement> runStorageWorkload(uint64_t testBytes,
                                                             std::stop_token stop) override {
        return deliver("storage", HealthTestStorageMeasurement{testBytes, 5e8, 9e8}, stop);
    }
    QFuture<HealthTestMemoryMeasurement> runMemoryWorkload(uint64_t testBytes, int passCount,
                                                           std::stop_token stop) override {
        return deliver("memory", HealthTestMemoryMeasurement{testBytes, passCount, 1e10}, stop);
    }
    QFuture<void> warmUp(double, std::stop_token stop) override {
        calls.push_back(QStringLiteral("warmUp"));
        return QtFuture::makeReadyFuture();
    }
    QFuture<double> runSingleCoreSample(double, std::stop_token stop) override {
        return deliver("single", nextBenchmarkRate(), stop);
    }
    QFuture<double> runMultiCoreSample(double, int workerCount, std::stop_token stop) override {
        askedWorkers.push_back(workerCount);
        return deliver("multi", nextBenchmarkRate(), stop);
    }

    void release() {
        auto pending = std::move(m_pending);
        m_pending.clear();
        for (auto& complete : pending)
            complete();
    }
    size_t pending() const { return m_pending.size(); }

private:
    GPUThroughput gpu() const {
        return gpuRate ? GPUThroughput{gpuRate, std::nullopt}
                       : GPUThroughput{std::nullopt, QStringLiteral("Grafik işlemcisi yok.")};
    }
    double nextBenchmarkRate() { return benchmarkRates[m_benchmarkIndex++ % benchmarkRates.size()]; }

    template <class T> QFuture<T> deliver(const char* name, T value, std::stop_token stop) {
        calls.push_back(QLatin1String(name));
        if (onCall)
            onCall(QLatin1String(name));
        auto promise = std::make_shared<QPromise<T>>();
        promise->start();
        auto complete = [promise, value, stop] {
            if (stop.stop_requested())
                promise->setException(CancellationError());
            else
                promise->addResult(value);
            promise->finish();
        };
        if (hold)
            m_pending.push_back(complete);
        else
            complete();
        return promise->future();
    }

    std::vector<std::function<void()>> m_pending;
    size_t m_benchmarkIndex = 0;
};

class FixedProcessors : public ProcessInformationProviding {
public:
    int activeProcessorCount() const override { return 4; }
    bool isLowPowerModeEnabled() const override { return lowPower; }
    bool lowPower = false;
};

class HealthTestOperations : public StoreFixture {
protected:
    std::shared_ptr<FakeWorkloads> workloads = std::make_shared<FakeWorkloads>();
    std::shared_ptr<FixedProcessors> processors = std::make_shared<FixedProcessors>();

    void SetUp() override {
        StoreFixture::SetUp();
        SystemSnapshot s = healthySnapshot();
        s.disk = DiskStats{500 * kGiB, 200 * kGiB, MetricAvailability::available()};
        s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.9, true);
        sampler->next = s;
        healthTests.quickHealthTestWorkloadRunner = workloads;
        healthTests.deepHealthTestWorkloadRunner = workloads;
        healthTests.cpuBenchmarkWorkloadRunner = workloads;
        healthTests.processInformation = processors;
        healthTests.cpuBenchmarkConfigurationProvider = [](CPUBenchmarkMode mode) {
            return CPUBenchmarkConfiguration::forMode(mode, 4);
        };
        healthTests.sleeper = sleeper;
        healthTests.architecture = QStringLiteral("x86_64");
        healthTests.buildFlavor = CPUBenchmarkBuildFlavor::release;
        healthTests.distributionChannel = CPUBenchmarkDistributionChannel::localRelease;
        healthTests.compressionEncoder = QStringLiteral("lz4");
    }

    // A prepared store with one sample taken.
    SystemMonitorStore& ready() {
        make();
        QCoro::waitFor(store->prepareArchive());
        refreshNow();
        return *store;
    }
    // A fresh start for the next case of a table: no cooldown, an empty archive, a new store.
    void restart(bool offersSignal = true) {
        preferences.remove(QStringLiteral("healthTest.intensiveCooldownUntil"));
        repository->stored = HealthArchive::empty();
        workloads->onCall = nullptr;
        workloads->calls.clear();
        workloads->askedWorkers.clear();
        workloads->askedDurations.clear();
        sleeper->sleeps = 0;
        sleeper->stopAfter = -1;
        offersThermalSignal = offersSignal;
        store.reset();
        SetUp();
    }
    bool finished(UserOperation operation) {
        return spinUntil([&] { return !store->isRunning(operation); });
    }
};

} // namespace

TEST_F(HealthTestOperations, QuickTestSamplesBeforeEveryWorkloadAndStoresItsResult) {
    HealthTestResult older;
    older.id = newUuid();
    older.benchmarkVersion = 2;
    older.endedAt = now.addingSeconds(-3000);
    HealthTestResult reference = older;
    reference.id = newUuid();
    reference.benchmarkVersion = 3;
    reference.endedAt = now.addingSeconds(-2000);
    reference.firstCPUOperationsPerSecond = reference.secondCPUOperationsPerSecond = 2e9;
    HealthTestResult later = reference;
    later.id = newUuid();
    later.endedAt = now.addingSeconds(-1000);
    repository->stored.healthTestResults = {older, reference, later};
    ready();

    std::vector<int> steps;
    QObject::connect(store.get(), &SystemMonitorStore::operationsChanged, [&] {
        if (const auto& p = store->progress(UserOperation::quickHealthTest))
            steps.push_back(p->step);
    });
    const int samplesBefore = sampler->calls;
    ASSERT_TRUE(store->startQuickHealthTest(QStringLiteral("test")));
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    EXPECT_TRUE(store->healthTestError().isEmpty()) << store->healthTestError().toStdString();

    EXPECT_EQ(sampler->calls - samplesBefore, 5) << "a fresh sample before each workload and after the last";
    EXPECT_EQ(workloads->calls, (std::vector<QString>{QStringLiteral("cpu"), QStringLiteral("gpu"),
                                                      QStringLiteral("storage"), QStringLiteral("cpu")}));
    EXPECT_EQ(steps.back(), 6);
    EXPECT_EQ(std::vector<int>(steps.begin(), steps.begin() + 1), std::vector<int>{0});
    EXPECT_FALSE(store->progress(UserOperation::quickHealthTest)) << "cleared when it ends";

    ASSERT_EQ(store->healthTestResults().size(), 4u);
    const HealthTestResult& result = store->healthTestResults().back();
    EXPECT_EQ(result.capacityReferenceID, reference.id) << "the oldest result of the same version";
    // The reference ran the processor twice as fast and has no storage or graphics rates to compare.
    EXPECT_EQ(result.personalCapacityPercent, 50);
    EXPECT_EQ(result.confidence, HealthTestConfidence::high);
    EXPECT_EQ(result.gpuOperationsPerSecond, 5e11);
    EXPECT_EQ(repository->stored.healthTestResults.size(), 4u) << "saved";
}

TEST_F(HealthTestOperations, QuickTestRefusalsAndTheThermalStop) {
    make();
    EXPECT_FALSE(store->startQuickHealthTest());
    EXPECT_EQ(store->healthTestError(), QStringLiteral("Testten önce güncel bir sistem ölçümü gerekiyor."));
    QCoro::waitFor(store->prepareArchive());
    refreshNow();

    workloads->hold = true;
    ASSERT_TRUE(store->startQuickHealthTest());
    EXPECT_TRUE(spinUntil([&] { return workloads->pending() == 1; }));
    EXPECT_FALSE(store->startQuickHealthTest()) << "already running: nothing happens";
    EXPECT_TRUE(store->healthTestError().isEmpty());
    EXPECT_FALSE(store->startDeepHealthTest());
    EXPECT_EQ(store->deepHealthTestError(), QStringLiteral("Hızlı test çalışırken derin test başlatılamaz."));
    EXPECT_FALSE(store->startCPUBenchmark(CPUBenchmarkMode::quick));
    EXPECT_EQ(
        store->cpuBenchmarkError(),
        QStringLiteral("Başka bir test çalışıyor. CPU benchmark’ı test tamamlandıktan sonra başlatın."));
    EXPECT_FALSE(store->intensiveTestCooldownUntil()) << "a refused deep test reserves no cooldown";

    // The machine heats up during the first workload: the next sample stops the test before the next one.
    sampler->next.thermal = ThermalLevel::serious;
    workloads->release();
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    EXPECT_EQ(
        store->healthTestError(),
        QStringLiteral("Termal durum ciddi seviyesine ulaştığı için test güvenli biçimde durduruldu. Mac’in "
                       "soğumasını bekleyip yeniden deneyin."));
    EXPECT_EQ(workloads->calls.size(), 1u) << "no workload after the unsafe sample";
    EXPECT_TRUE(store->healthTestResults().empty());

    // An unreadable level does not stop the quick test; a machine with no thermal signal notes it.
    sampler->next.thermal = ThermalLevel::unavailable;
    workloads->hold = false;
    ASSERT_TRUE(store->startQuickHealthTest());
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    ASSERT_EQ(store->healthTestResults().size(), 1u);
    EXPECT_TRUE(store->healthTestResults()[0].warnings.empty());
}

TEST_F(HealthTestOperations, CancellingAQuickTestStoresNothing) {
    ready();
    workloads->hold = true;
    ASSERT_TRUE(store->startQuickHealthTest());
    EXPECT_TRUE(spinUntil([&] { return workloads->pending() == 1; }));
    store->cancelOperation(UserOperation::quickHealthTest);
    workloads->release();
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    EXPECT_EQ(store->healthTestError(), QStringLiteral("Hızlı sağlık testi iptal edildi."));
    EXPECT_TRUE(store->healthTestResults().empty());
    EXPECT_TRUE(repository->stored.healthTestResults.empty());
}

TEST_F(HealthTestOperations, DeepTestStartChecksInTheirOrder) {
    struct Case {
        const char* name;
        std::function<void(SystemSnapshot&)> machine;
        bool offersThermalSignal;
        bool allowLowBattery;
        QString refusal; // empty: it starts
    } cases[] = {
        {"healthy", [](auto&) {}, true, false, {}},
        {"low battery",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.19, false); }, true,
         false,
         QStringLiteral(
             "Batarya %20’nin altında. Prize bağlayın veya düşük batarya uyarısında devam etmeyi seçin.")},
        {"low battery, the user goes on",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.19, false); },
         true,
         true,
         {}},
        {"low battery on the adapter",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.19, true); },
         true,
         false,
         {}},
        {"unknown charge never blocks",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), std::nullopt, false); },
         true,
         false,
         {}},
        {"critical", [](auto& s) { s.thermal = ThermalLevel::critical; }, true, false,
         QStringLiteral(
             "Termal durum kritik seviyesine ulaştığı için test güvenli biçimde durduruldu. Mac’in "
             "soğumasını bekleyip yeniden deneyin.")},
        {"thermal signal unreadable now", [](auto& s) { s.thermal = ThermalLevel::unavailable; }, true, false,
         QStringLiteral("Derin test için macOS termal durumunun okunabilmesi gerekiyor. Termal izleme "
                        "kullanılamıyorken yoğun test başlatılmadı.")},
        {"virtual machine without a thermal signal",
         [](auto& s) { s.thermal = ThermalLevel::unavailable; },
         false,
         false,
         {}},
        {"disk unreadable", [](auto& s) { s.disk = DiskStats::unreadable(); }, true, false,
         QStringLiteral("Derin testten önce kullanılabilir depolama alanı okunmalıdır.")},
        {"1.2 GiB free",
         [](auto& s) {
             s.disk = DiskStats{500 * kGiB, 1'288'490'189, MetricAvailability::available()};
         },
         true, false, QStringLiteral("Derin test için en az 1,34 GB boş alan gerekiyor.")},
        {"exactly 1.25 GiB free",
         [](auto& s) {
             s.disk = DiskStats{500 * kGiB, 1'342'177'280, MetricAvailability::available()};
         },
         true,
         false,
         {}},
    };
    for (const Case& c : cases) {
        restart(c.offersThermalSignal);
        c.machine(sampler->next);
        ready();
        const bool started = store->startDeepHealthTest(c.allowLowBattery);
        EXPECT_EQ(started, c.refusal.isEmpty()) << c.name;
        EXPECT_EQ(store->deepHealthTestError(), c.refusal) << c.name;
        EXPECT_EQ(store->intensiveTestCooldownUntil().has_value(), started) << c.name;
        if (started)
            EXPECT_TRUE(finished(UserOperation::deepHealthTest)) << c.name;
    }
}

TEST_F(HealthTestOperations, DeepTestRunsItsPhasesAndReservesTheCooldown) {
    healthTests.deepHealthTestConfiguration.cpuRoundDuration = 45;
    ready();
    std::vector<DeepHealthTestProgress> progress;
    QObject::connect(store.get(), &SystemMonitorStore::operationsChanged, [&] {
        if (const auto& p = store->progress(UserOperation::deepHealthTest))
            progress.push_back(std::any_cast<DeepHealthTestProgress>(p->detail));
    });
    // The second processor round starts at "fair": that round and the graphics rounds run lighter.
    int cpuRounds = 0;
    workloads->onCall = [&](const QString& name) {
        if (name == u"sustainedCPU" && ++cpuRounds == 1)
            sampler->next.thermal = ThermalLevel::fair;
    };
    const int samplesBefore = sampler->calls;
    ASSERT_TRUE(store->startDeepHealthTest());
    ASSERT_TRUE(store->intensiveTestCooldownUntil());
    EXPECT_EQ(*store->intensiveTestCooldownUntil(), now.addingSeconds(470 + 900));
    EXPECT_EQ(preferences.dateValue(QStringLiteral("healthTest.intensiveCooldownUntil")),
              now.addingSeconds(470 + 900));
    ASSERT_TRUE(finished(UserOperation::deepHealthTest));
    EXPECT_TRUE(store->deepHealthTestError().isEmpty()) << store->deepHealthTestError().toStdString();

    EXPECT_EQ(sampler->calls - samplesBefore, 6 + 12 + 1 + 1 + 6);
    EXPECT_EQ(sleeper->sleeps, 6);
    EXPECT_EQ(sleeper->lastSeconds, 10);
    EXPECT_EQ(workloads->askedWorkers, (std::vector<int>{6, 3, 3, 3, 3, 3}));
    const std::vector<double> gpuDurations(workloads->askedDurations.begin() + 6,
                                           workloads->askedDurations.end());
    EXPECT_EQ(gpuDurations, std::vector<double>(12, 5.0));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().completedSteps, 28);
    EXPECT_EQ(progress.back().totalSteps, 28);
    const auto cooling = std::find_if(progress.begin(), progress.end(), [](const auto& p) {
        return p.phase == DeepHealthTestPhase::coolingObservation && p.phaseStep == 6;
    });
    ASSERT_NE(cooling, progress.end());
    EXPECT_EQ(cooling->completedSteps, 26);

    ASSERT_EQ(store->deepHealthTestResults().size(), 1u);
    const DeepHealthTestResult result = store->deepHealthTestResults()[0];
    EXPECT_EQ(result.cpuWorkerCounts, (std::vector<int>{4, 3, 3, 3, 3, 3}));
    EXPECT_EQ(result.gpuOperationsPerSecond.size(), 12u);
    EXPECT_EQ(result.memory.testedBytes, 268'435'456u);
    EXPECT_EQ(result.storage.testedBytes, 268'435'456u);
    EXPECT_EQ(result.highestThermalLevel, ThermalLevel::fair);
    EXPECT_EQ(result.findings.front().kind, DeepHealthTestFindingKind::baseline);

    // Within 470 + 900 seconds a second deep test is refused, with the minutes rounded up.
    sampler->next.thermal = ThermalLevel::nominal;
    advance(600);
    EXPECT_FALSE(store->startDeepHealthTest());
    EXPECT_EQ(store->deepHealthTestError(),
              QStringLiteral("Mac’in soğuması için yaklaşık 13 dakika sonra yeniden deneyin."));
    EXPECT_TRUE(store->startQuickHealthTest()) << "the quick test is not intensive";
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    advance(770);
    refreshNow();
    EXPECT_TRUE(store->startDeepHealthTest());
    ASSERT_TRUE(finished(UserOperation::deepHealthTest));
    ASSERT_EQ(store->deepHealthTestResults().size(), 2u);
    EXPECT_EQ(store->deepHealthTestResults()[1].capacityReferenceID, result.id);
}

TEST_F(HealthTestOperations, DeepTestStopsOnHeatOrAnUnreadableSignalAndKeepsTheCooldown) {
    struct Case {
        const char* name;
        ThermalLevel level;
        bool offersThermalSignal;
        QString error; // empty: completes
    } cases[] = {
        {"serious mid-test", ThermalLevel::serious, true,
         QStringLiteral("Termal durum ciddi seviyesine ulaştığı için test güvenli biçimde durduruldu. Mac’in "
                        "soğumasını bekleyip yeniden deneyin.")},
        {"signal lost mid-test", ThermalLevel::unavailable, true,
         QStringLiteral("Derin test için macOS termal durumunun okunabilmesi gerekiyor. Termal izleme "
                        "kullanılamıyorken yoğun test başlatılmadı.")},
        {"no signal on this machine", ThermalLevel::unavailable, false, {}},
    };
    for (const Case& c : cases) {
        restart(c.offersThermalSignal);
        if (!c.offersThermalSignal)
            sampler->next.thermal = ThermalLevel::unavailable;
        ready();
        workloads->onCall = [&](const QString& name) {
            if (name == u"sustainedGPU")
                sampler->next.thermal = c.level;
        };
        ASSERT_TRUE(store->startDeepHealthTest()) << c.name << store->deepHealthTestError().toStdString();
        ASSERT_TRUE(finished(UserOperation::deepHealthTest)) << c.name;
        EXPECT_EQ(store->deepHealthTestError(), c.error) << c.name;
        EXPECT_EQ(store->deepHealthTestResults().size(), c.error.isEmpty() ? 1u : 0u) << c.name;
        EXPECT_TRUE(store->intensiveTestCooldownUntil()) << c.name;
        if (c.error.isEmpty()) {
            EXPECT_EQ(
                store->deepHealthTestResults()[0].warnings,
                std::vector<QString>{QStringLiteral("Bu makine termal durum bilgisi sunmadığı için test "
                                                    "sırasında termal koruma yapılamadı.")})
                << c.name;
        }
    }

    // Cancelled during the cooling wait: nothing stored, the cooldown stays.
    restart();
    sleeper->stopAfter = 2;
    ready();
    ASSERT_TRUE(store->startDeepHealthTest());
    ASSERT_TRUE(finished(UserOperation::deepHealthTest));
    EXPECT_EQ(store->deepHealthTestError(), QStringLiteral("Derin sağlık testi iptal edildi."));
    EXPECT_TRUE(store->deepHealthTestResults().empty());
    EXPECT_TRUE(store->intensiveTestCooldownUntil());
}

TEST_F(HealthTestOperations, BenchmarkRecordsItsEnvironmentAndComparesWithAComparableResult) {
    CPUBenchmarkResult lowConfidence;
    lowConfidence.id = newUuid();
    lowConfidence.endedAt = now.addingSeconds(-5000);
    lowConfidence.confidence = HealthTestConfidence::low;
    lowConfidence.mode = CPUBenchmarkMode::quick;
    lowConfidence.singleCoreSamples = {50e6, 50e6};
    lowConfidence.multiCoreSamples = {200e6, 200e6};
    lowConfidence.environment.architecture = QStringLiteral("x86_64");
    lowConfidence.environment.workerCount = 4;
    lowConfidence.environment.distributionChannel = CPUBenchmarkDistributionChannel::localRelease;
    lowConfidence.environment.compressionEncoder = QStringLiteral("lz4");
    CPUBenchmarkResult reference = lowConfidence;
    reference.id = newUuid();
    reference.endedAt = now.addingSeconds(-4000);
    reference.confidence = HealthTestConfidence::high;
    repository->stored.cpuBenchmarkResults = {lowConfidence, reference};

    SystemSnapshot machine = sampler->next;
    machine.cpu.totalUsage = 0.3;
    machine.battery = batteryWithCondition(QStringLiteral("Normal"), 0.5, false);
    sampler->next = machine;
    processors->lowPower = true;
    ready();

    std::vector<CPUBenchmarkProgress> progress;
    QObject::connect(store.get(), &SystemMonitorStore::operationsChanged, [&] {
        if (const auto& p = store->progress(UserOperation::cpuBenchmark))
            progress.push_back(std::any_cast<CPUBenchmarkProgress>(p->detail));
    });
    const int samplesBefore = sampler->calls;
    ASSERT_TRUE(store->startCPUBenchmark(CPUBenchmarkMode::quick));
    ASSERT_TRUE(finished(UserOperation::cpuBenchmark));
    EXPECT_TRUE(store->cpuBenchmarkError().isEmpty()) << store->cpuBenchmarkError().toStdString();
    EXPECT_EQ(sampler->calls - samplesBefore, 2 + 3 + 3) << "start, after the warm-up, after every sample";
    EXPECT_EQ(workloads->askedWorkers, (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(progress.front().totalSteps, 8);
    EXPECT_EQ(progress.back().completedSteps, 8);

    ASSERT_EQ(store->cpuBenchmarkResults().size(), 3u);
    const CPUBenchmarkResult& result = store->cpuBenchmarkResults().back();
    EXPECT_EQ(result.singleCoreSamples, (std::vector<double>{100e6, 101e6, 99e6}));
    EXPECT_EQ(result.multiCoreSamples, (std::vector<double>{400e6, 404e6, 396e6}));
    EXPECT_EQ(result.environment.workerCount, 4);
    EXPECT_EQ(result.environment.powerSource, CPUBenchmarkPowerSource::battery);
    EXPECT_TRUE(result.environment.lowPowerModeEnabled);
    EXPECT_EQ(result.environment.initialCPUUsage, 0.3);
    EXPECT_EQ(result.environment.compressionEncoder, QStringLiteral("lz4"));
    EXPECT_EQ(result.confidence, HealthTestConfidence::medium) << "low-power mode and a busy start";
    EXPECT_EQ(result.performanceReferenceID, reference.id)
        << "the oldest result that is not of low confidence";
    EXPECT_EQ(result.personalPerformancePercent, 200);
    EXPECT_EQ(result.warnings.size(), 4u); // local release, low power, battery, background usage
}

TEST_F(HealthTestOperations, BenchmarkRefusesAndStopsOnTheThermalGate) {
    struct Case {
        const char* name;
        std::function<void(SystemSnapshot&)> machine;
        bool offersThermalSignal;
        QString refusal;
    } cases[] = {
        {"serious", [](auto& s) { s.thermal = ThermalLevel::serious; }, true,
         QStringLiteral("Termal durum ciddi olduğu için benchmark güvenli biçimde durduruldu.")},
        {"unreadable", [](auto& s) { s.thermal = ThermalLevel::unavailable; }, true,
         QStringLiteral("Güvenli benchmark için macOS termal durumunun okunabilmesi gerekiyor.")},
        {"charge 0.19 on battery",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.19, false); }, true,
         QStringLiteral("Batarya %20’nin altında. Benchmark için Mac’i güç adaptörüne bağlayın.")},
        {"charge 0.19 on the adapter",
         [](auto& s) { s.battery = batteryWithCondition(QStringLiteral("Normal"), 0.19, true); },
         true,
         {}},
        {"virtual machine", [](auto& s) { s.thermal = ThermalLevel::unavailable; }, false, {}},
    };
    for (const Case& c : cases) {
        restart(c.offersThermalSignal);
        c.machine(sampler->next);
        ready();
        EXPECT_EQ(store->startCPUBenchmark(CPUBenchmarkMode::standard), c.refusal.isEmpty()) << c.name;
        EXPECT_EQ(store->cpuBenchmarkError(), c.refusal) << c.name;
        if (c.refusal.isEmpty()) {
            ASSERT_TRUE(finished(UserOperation::cpuBenchmark)) << c.name;
            ASSERT_EQ(store->cpuBenchmarkResults().size(), 1u) << c.name;
            EXPECT_EQ(store->cpuBenchmarkResults()[0].singleCoreSamples.size(), 5u)
                << "standard: five samples";
        }
    }

    // Heat between two samples stops the run; nothing is kept.
    restart();
    ready();
    workloads->onCall = [&](const QString& name) {
        if (name == u"multi")
            sampler->next.thermal = ThermalLevel::critical;
    };
    ASSERT_TRUE(store->startCPUBenchmark(CPUBenchmarkMode::quick));
    ASSERT_TRUE(finished(UserOperation::cpuBenchmark));
    EXPECT_EQ(store->cpuBenchmarkError(),
              QStringLiteral("Termal durum kritik olduğu için benchmark güvenli biçimde durduruldu."));
    EXPECT_EQ(std::count(workloads->calls.begin(), workloads->calls.end(), QStringLiteral("multi")), 1);
    EXPECT_TRUE(store->cpuBenchmarkResults().empty());
}

TEST_F(HealthTestOperations, ResultsAreCappedAndTheBenchmarkHistoryIsWritten) {
    QTemporaryDir folder;
    auto files =
        std::make_shared<FileHealthArchiveRepository>(folder.path() + QStringLiteral("/health-archive.json"));
    HealthArchive earlier;
    for (int i = 25; i >= 1; --i) {
        HealthTestResult r;
        r.id = newUuid();
        r.endedAt = now.addingSeconds(-i * 3600.0);
        earlier.healthTestResults.push_back(r);
    }
    files->saveNow(earlier);
    repository.reset();
    SystemMonitorStore::Dependencies d;
    d.sampler = sampler;
    d.preferences = &preferences;
    d.archiveRepository = files;
    d.loopSleeper = sleeper;
    d.dateProvider = [this] { return now; };
    d.healthTests = healthTests;
    store = std::make_unique<SystemMonitorStore>(std::move(d));
    QCoro::waitFor(store->prepareArchive());
    refreshNow();

    const QUuid oldest = store->healthTestResults().front().id;
    ASSERT_TRUE(store->startQuickHealthTest());
    ASSERT_TRUE(finished(UserOperation::quickHealthTest));
    ASSERT_TRUE(store->startCPUBenchmark(CPUBenchmarkMode::quick));
    ASSERT_TRUE(finished(UserOperation::cpuBenchmark));

    const HealthArchive saved = files->loadNow();
    ASSERT_EQ(saved.healthTestResults.size(), 25u) << "25 quick-test results at most";
    EXPECT_NE(saved.healthTestResults.front().id, oldest) << "the oldest gave way";
    EXPECT_EQ(saved.healthTestResults.back().endedAt, now);
    const auto history =
        CPUBenchmarkHistorySidecar::load(folder.path() + QStringLiteral("/cpu-benchmark-history-v1.json"));
    ASSERT_TRUE(history.results);
    ASSERT_EQ(history.results->size(), 1u);
    EXPECT_EQ(history.results->front(), store->cpuBenchmarkResults().back());
}
