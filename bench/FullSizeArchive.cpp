#include "FullSizeArchive.h"

#include "foundation/Uuid.h"
#include "healthtests/CPUBenchmarkScoreEngine.h"
#include "healthtests/DeepHealthTestScoreEngine.h"
#include "healthtests/HealthTestScoreEngine.h"
#include "history/HealthArchiveCompaction.h"

#include <QJsonArray>
#include <cmath>

namespace kestrum::bench {

namespace {

QJsonObject result(Date ended, int components) {
    QJsonArray parts;
    for (int i = 0; i < components; ++i) {
        parts.append(QJsonObject{
            {QStringLiteral("kind"), QStringLiteral("memory")},
            {QStringLiteral("score"), 80 + i},
            {QStringLiteral("confidence"), QStringLiteral("high")},
            {QStringLiteral("details"), QStringLiteral("Bellek bant genişliği beklenen aralıkta.")}});
    }
    return QJsonObject{{QStringLiteral("id"), uuidText(newUuid())},
                       {QStringLiteral("startedAt"), ended.addingSeconds(-60).secondsSinceReferenceDate},
                       {QStringLiteral("endedAt"), ended.secondsSinceReferenceDate},
                       {QStringLiteral("benchmarkVersion"), 3},
                       {QStringLiteral("components"), parts}};
}

PerformanceSession performanceSession(Date ended) {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), ended.addingSeconds(-3600));
    s.memory = MemoryStats{9'000, 10'000, 0, 2'000'000'000, MetricAvailability::available()};
    PerformanceSession session = PerformanceSession::start(newUuid(), QStringLiteral("Derleme"), s);
    for (int minute = 1; minute <= 60; ++minute) {
        s.timestamp = ended.addingSeconds(-3600 + minute * 60.0);
        session.record(s);
    }
    session.endedAt = ended;
    return session;
}

// Results as the engines make them: five components with their texts, findings, the rates.
HealthTestResult quickResult(Date ended) {
    QuickHealthTestMeasurement m;
    m.startedAt = ended.addingSeconds(-21);
    m.endedAt = ended;
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), ended);
    s.thermal = ThermalLevel::fair;
    s.memory = MemoryStats{9'000, 10'000, 0, 2'000'000'000, MetricAvailability::available()};
    s.disk = DiskStats{1'000, 120, MetricAvailability::available()};
    m.snapshots = {s};
    m.firstCPUOperationsPerSecond = 1.9e9;
    m.secondCPUOperationsPerSecond = 1.7e9;
    m.gpuOperationsPerSecond = 2.1e12;
    m.storage = {67'108'864, 1.1e9, 2.4e9};
    return HealthTestScoreEngine().makeResult(m, std::nullopt);
}

DeepHealthTestResult deepResult(Date ended) {
    DeepHealthTestMeasurement m;
    m.startedAt = ended.addingSeconds(-470);
    m.endedAt = ended;
    m.snapshots = {SystemSnapshot::empty(newUuid(), ended)};
    m.cpuOperationsPerSecond = {2.1e9, 2.0e9, 1.8e9, 1.7e9, 1.6e9, 1.6e9};
    m.cpuWorkerCounts = {6, 6, 6, 6, 6, 6};
    m.gpuOperationsPerSecond = std::vector<double>(12, 2.0e12);
    m.memory = {268'435'456, 4, 1.2e10};
    m.storage = {268'435'456, 1.1e9, 2.4e9};
    return DeepHealthTestScoreEngine().makeResult(m, std::nullopt);
}

CPUBenchmarkResult benchmarkResult(Date ended) {
    CPUBenchmarkMeasurement m;
    m.startedAt = ended.addingSeconds(-20);
    m.endedAt = ended;
    m.singleCoreSamples = {1.51e9, 1.49e9, 1.50e9, 1.52e9, 1.48e9};
    m.multiCoreSamples = {5.9e9, 6.0e9, 6.1e9, 5.8e9, 6.0e9};
    m.environment.architecture = QStringLiteral("x86_64");
    m.environment.compressionEncoder = QStringLiteral("lz4");
    m.environment.initialCPUUsage = 0.3;
    return CPUBenchmarkScoreEngine().makeResult(m, std::nullopt);
}

} // namespace

HealthArchive fullSizeArchive(Date kNow) {
    HealthArchive a;
    // One sample a minute for 30 days; compaction reduces it to the stored size.
    for (double age = 2'592'000; age >= 0; age -= 60) {
        HealthSample s;
        s.id = newUuid();
        s.timestamp = kNow.addingSeconds(-age);
        s.cpuUsage = 0.2 + std::fmod(age, 7) / 100;
        s.memoryUsage = 0.55;
        s.batteryCharge = 0.8;
        s.batteryIsCharging = false;
        s.batteryUsesPowerAdapter = false;
        s.diskUsage = 0.61;
        s.thermalLevel = ThermalLevel::nominal;
        s.downloadBytesPerSecond = 12345.5;
        s.uploadBytesPerSecond = 2345.25;
        s.wifiRSSI = -58;
        s.healthLevel = HealthLevel::normal;
        a.samples.push_back(s);
    }
    a.samples = HealthArchiveCompaction::compactedSamples(a.samples, kNow);
    for (int i = 0; i < 500; ++i)
        a.events.push_back(
            {newUuid(), kNow.addingSeconds(-i * 3000.0), HealthInsightKind::cpu, HealthLevel::attention,
             QStringLiteral("İşlemci kullanım oranı yüksek"),
             QStringLiteral("Anlık kullanım %93; uyarı eşiği %90."),
             QStringLiteral("Yoğun kullanım sürerse en çok işlemci kullanan uygulamaları kontrol et."),
             QStringLiteral("cpu-high")});
    for (int i = 0; i < 100; ++i)
        a.incidents.push_back({newUuid(), kNow.addingSeconds(-i * 20000.0),
                               kNow.addingSeconds(-i * 20000.0 + 600), QStringLiteral("fan")});
    for (int i = 0; i < 50; ++i)
        a.performanceSessions.push_back(performanceSession(kNow.addingSeconds(-i * 40000.0)));
    for (int i = 0; i < 25; ++i) {
        a.healthTestResults.push_back(quickResult(kNow.addingSeconds(-i * 80000.0)));
        a.cpuBenchmarkResults.push_back(benchmarkResult(kNow.addingSeconds(-i * 80000.0)));
    }
    for (int i = 0; i < 12; ++i) {
        a.deepHealthTestResults.push_back(deepResult(kNow.addingSeconds(-i * 150000.0)));
        a.fullSystemScanResults.push_back(result(kNow.addingSeconds(-i * 150000.0), 12));
    }
    return a;
}

} // namespace kestrum::bench
