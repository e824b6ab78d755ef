#pragma once

// Inputs for the full scan tests: healthy results of every check, and a runner whose checks answer at once
// with them, fail, or stop the scan, as a case asks.

#include "foundation/KestrumError.h"
#include "fullscan/FullSystemScanComponentRunning.h"
#include "fullscan/FullSystemScanReportBuilder.h"

#include <functional>
#include <map>

namespace kestrum::test {

// 2025-12-06T08:00:00Z
inline Date scanTime(double secondsLater = 0) {
    return Date::fromUnixSeconds(1'765'008'000 + secondsLater);
}

inline std::vector<HealthTestComponentScore> scoredComponents(int score) {
    std::vector<HealthTestComponentScore> out;
    for (const auto kind : allCases<HealthTestComponentKind>())
        out.push_back({kind, score, QStringLiteral("Ölçüldü."), std::nullopt});
    return out;
}

inline HealthTestResult quickResult(int score = 90) {
    HealthTestResult r;
    r.id = QUuid::fromString(QStringLiteral("{11111111-0000-0000-0000-000000000001}"));
    r.startedAt = scanTime(10);
    r.endedAt = scanTime(30);
    r.healthScore = score;
    r.stabilityScore = 97;
    r.confidence = HealthTestConfidence::high;
    r.components = scoredComponents(score);
    return r;
}

inline DeepHealthTestResult deepResult(int score = 88) {
    DeepHealthTestResult r;
    r.id = QUuid::fromString(QStringLiteral("{22222222-0000-0000-0000-000000000001}"));
    r.startedAt = scanTime(30);
    r.endedAt = scanTime(500);
    r.healthScore = score;
    r.sustainedCapacityScore = 94;
    r.confidence = HealthTestConfidence::high;
    r.components = scoredComponents(score);
    r.highestThermalLevel = ThermalLevel::fair;
    return r;
}

inline NetworkQualityResult qualityResult(NetworkQualityLevel level = NetworkQualityLevel::excellent) {
    NetworkQualityResult r;
    r.id = QUuid::fromString(QStringLiteral("{33333333-0000-0000-0000-000000000001}"));
    r.timestamp = scanTime(510);
    r.quality = level;
    r.dnsResolutionMilliseconds = 12.4;
    r.medianResponseMilliseconds = 23.6;
    r.jitterMilliseconds = 3.2;
    r.attemptedProbes = 5;
    r.successfulProbes = 5;
    return r;
}

inline NetworkSpeedTestResult speedResult() {
    NetworkSpeedTestResult r;
    r.id = QUuid::fromString(QStringLiteral("{44444444-0000-0000-0000-000000000001}"));
    r.timestamp = scanTime(540);
    r.downloadMegabitsPerSecond = 187.25;
    r.uploadMegabitsPerSecond = 41.5;
    r.transferredBytes = 180'000'000;
    r.durationSeconds = 24.5;
    r.providerName = QStringLiteral("Cloudflare");
    return r;
}

inline HardwareProfile hardwareProfile() {
    HardwareProfile p;
    p.modelIdentifier = QStringLiteral("MacBookPro18,3");
    p.modelName = QStringLiteral("MacBook Pro");
    p.catalogMatched = true;
    p.components.push_back(
        {HardwareComponentKind::processor, QStringLiteral("Apple"), QStringLiteral("M1 Pro")});
    p.components.push_back({HardwareComponentKind::memory, std::nullopt, QStringLiteral("16 GB")});
    p.components.push_back({HardwareComponentKind::storage, std::nullopt, QStringLiteral("512 GB SSD")});
    return p;
}

inline SystemSnapshot scanSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid(), scanTime(5));
    s.battery.isPresent = true;
    s.battery.availability = MetricAvailability::available();
    s.battery.healthCondition = QStringLiteral("Good");
    s.battery.chargeFraction = 0.81;
    s.battery.isConnectedToPowerAdapter = true;
    s.thermal = ThermalLevel::nominal;
    s.disk = DiskStats{500'000'000'000, 200'000'000'000, MetricAvailability::available()};
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::wifi;
    s.network.wifiRSSI = -52;
    return s;
}

inline HealthAssessment normalAssessment() {
    HealthAssessment a;
    a.level = HealthLevel::normal;
    a.title = QStringLiteral("Sistem dengeli görünüyor");
    a.coverage.evaluatedSignals = {QStringLiteral("cpu"), QStringLiteral("memory"), QStringLiteral("disk")};
    return a;
}

// Everything a scan with network tests collects on a healthy machine.
inline FullSystemScanEvidence healthyEvidence() {
    FullSystemScanEvidence e;
    e.startedAt = scanTime();
    e.endedAt = scanTime(545);
    e.hardware = FullSystemScanStep<HardwareProfile>::completed(hardwareProfile());
    e.snapshot = scanSnapshot();
    e.assessment = normalAssessment();
    e.quickHealth = FullSystemScanStep<HealthTestResult>::completed(quickResult());
    e.deepHealth = FullSystemScanStep<DeepHealthTestResult>::completed(deepResult());
    e.networkQuality = FullSystemScanStep<NetworkQualityResult>::completed(qualityResult());
    e.internetSpeed = FullSystemScanStep<NetworkSpeedTestResult>::completed(speedResult());
    return e;
}

// The checks answer at once. A step named in `failing` throws its text; the step named `cancelAt` calls
// `onCancel` (the test cancels the operation there) and then throws CancellationError.
class FakeScanRunner : public FullSystemScanComponentRunning {
public:
    std::map<QString, QString> failing;
    QString cancelAt;
    std::function<void()> onCancel;
    std::optional<QString> explanation; // the explainer is available when set
    std::optional<HardwareProfile> profile = hardwareProfile();
    HealthAssessment assessment = normalAssessment();
    std::vector<QString> calls;

    QCoro::Task<std::optional<HardwareProfile>> discoverHardware(std::stop_token) override {
        step(QStringLiteral("hardware"));
        co_return profile;
    }
    std::vector<HardwareRecommendation> hardwareRecommendations(const SystemSnapshot&) override { return {}; }
    HealthAssessment assess(const SystemSnapshot&) override { return assessment; }
    QCoro::Task<HealthTestResult> runQuickHealthTest(OperationContext&, std::stop_token,
                                                     ProgressReporter report) override {
        step(QStringLiteral("quick"));
        report(OperationProgress{0.5});
        co_return quickResult();
    }
    QCoro::Task<DeepHealthTestResult> runDeepHealthTest(OperationContext&, std::stop_token,
                                                        ProgressReporter) override {
        step(QStringLiteral("deep"));
        co_return deepResult();
    }
    QCoro::Task<NetworkQualityResult> runNetworkQualityTest(OperationContext&, std::stop_token,
                                                            ProgressReporter) override {
        step(QStringLiteral("quality"));
        co_return qualityResult();
    }
    QCoro::Task<NetworkSpeedTestResult> runInternetSpeedTest(OperationContext&, std::stop_token,
                                                             ProgressReporter) override {
        step(QStringLiteral("speed"));
        co_return speedResult();
    }
    bool isExplainerAvailable() const override { return explanation.has_value(); }
    QCoro::Task<QString> explain(const FullSystemScanEvidence&, std::stop_token) override {
        step(QStringLiteral("ai"));
        co_return *explanation;
    }

private:
    void step(const QString& name) {
        calls.push_back(name);
        if (name == cancelAt) {
            if (onCancel)
                onCancel();
            throw CancellationError();
        }
        if (const auto it = failing.find(name); it != failing.end())
            throw KestrumError(QStringLiteral("fake"), it->second);
    }
};

} // namespace kestrum::test
