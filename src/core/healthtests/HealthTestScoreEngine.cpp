#include "HealthTestScoreEngine.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "measurement/MetricFormatting.h"

#include <cmath>

namespace kestrum {

namespace {

constexpr uint64_t kSwapPenaltyBytes = 1'073'741'824; // 1 GiB

bool finitePositive(double value) {
    return std::isfinite(value) && value > 0;
}

QString percentText(double fraction) {
    return QString::number(roundedInteger(fraction * 100));
}

int weightOf(HealthTestComponentKind kind) {
    // In hundredths, so that the sums stay exact.
    switch (kind) {
    case HealthTestComponentKind::battery:
    case HealthTestComponentKind::thermal:
        return 25;
    case HealthTestComponentKind::memory:
        return 20;
    case HealthTestComponentKind::storage:
    case HealthTestComponentKind::stability:
        return 15;
    }
    return 0;
}

} // namespace

HealthTestComponentScore HealthTestScoreEngine::batteryComponent(const std::optional<BatteryStats>& battery) {
    const auto kind = HealthTestComponentKind::battery;
    if (!battery)
        return {kind, std::nullopt, trText("Batarya sağlık durumu bu testte okunamadı."), std::nullopt};
    if (!battery->healthCondition)
        return {kind, std::nullopt, trText("Batarya bulundu ancak macOS sağlık durumu sunmadı."),
                std::nullopt};
    const QString condition = *battery->healthCondition;
    const QString evidence = trTemplate("macOS batarya durumu: \\(condition)", {condition});
    const QString lowered = condition.toLower();
    struct Rule {
        const char* substring;
        int score;
        const char* recommendation; // null: none
    };
    static const Rule rules[] = {
        {"good", 100, nullptr},
        {"normal", 100, nullptr},
        {"fair", 65, TR_MARK("Batarya davranışını ve kapasite eğilimini izleyin.")},
        {"replace now", 15, TR_MARK("Apple tanılaması veya yetkili servis kontrolü önerilir.")},
        {"poor", 15, TR_MARK("Apple tanılaması veya yetkili servis kontrolü önerilir.")},
        {"service", 40, TR_MARK("Batarya için Apple tanılaması veya servis kontrolü planlayın.")},
        {"check battery", 40, TR_MARK("Batarya için Apple tanılaması veya servis kontrolü planlayın.")},
        {"replace soon", 40, TR_MARK("Batarya için Apple tanılaması veya servis kontrolü planlayın.")},
    };
    for (const Rule& rule : rules) {
        if (!lowered.contains(QLatin1String(rule.substring)))
            continue;
        std::optional<QString> recommendation;
        if (rule.recommendation)
            recommendation = QString::fromUtf8(rule.recommendation);
        return {kind, rule.score, evidence, recommendation};
    }
    return {kind, 70, evidence, trText("macOS’un batarya durumu ile kapasite eğilimini birlikte izleyin.")};
}

HealthTestComponentScore HealthTestScoreEngine::thermalComponent(ThermalLevel highest) {
    const auto kind = HealthTestComponentKind::thermal;
    switch (highest) {
    case ThermalLevel::nominal:
        return {kind, 100, trText("Test boyunca termal durum normal kaldı."), std::nullopt};
    case ThermalLevel::fair:
        return {kind, 78, trText("Test sırasında termal durum hafif yüksek seviyeye çıktı."),
                trText("Hava girişlerini açık tutun ve sonucu zaman içinde karşılaştırın.")};
    case ThermalLevel::serious:
        return {
            kind, 35, trText("Test sırasında ciddi termal baskı gözlendi."),
            trText("Mac soğuduktan sonra tekrar test edin; tekrar ederse Apple tanılamasını çalıştırın.")};
    case ThermalLevel::critical:
        return {kind, 0, trText("Kritik termal durum gözlendi."),
                trText("Yükü durdurun, Mac’in soğumasını bekleyin ve gerekirse servis desteği alın.")};
    case ThermalLevel::unavailable:
        break;
    }
    return {kind, std::nullopt, trText("Termal durum macOS tarafından sunulmadı."), std::nullopt};
}

QString HealthTestScoreEngine::memoryRecommendation() {
    return trText("Yüksek kullanım tek başına bellek baskısı veya arıza kanıtı değildir. Yavaşlama da varsa "
                  "Etkinlik Monitörü’nde Bellek Baskısı grafiğini ve uygulama kullanımını kontrol et.");
}

QString HealthTestScoreEngine::storageRecommendation() {
    return trText("macOS ve uygulamalar için daha fazla boş alan bırakın.");
}

HealthTestComponentScore HealthTestScoreEngine::memoryComponent(std::optional<double> peakUsage,
                                                                std::optional<uint64_t> peakSwapBytes) {
    const auto kind = HealthTestComponentKind::memory;
    if (!peakUsage)
        return {kind, std::nullopt, trText("Bellek kullanımı okunamadı."), std::nullopt};
    const double p = *peakUsage;
    double base;
    if (p <= 0.70)
        base = 100;
    else if (p <= 0.85)
        base = 100 - (p - 0.70) / 0.15 * 25;
    else if (p <= 0.95)
        base = 75 - (p - 0.85) / 0.10 * 25;
    else
        base = 40;
    if (p > 0.85 && peakSwapBytes && *peakSwapBytes > kSwapPenaltyBytes)
        base -= 10;
    const int score = roundedClampedScore(std::max(base, 0.0));
    const QString evidence =
        trTemplate("Testte en yüksek bellek kullanımı %\\(percent); takas alanı \\(swap).",
                   {percentText(p), MetricFormatting::bytes(double(peakSwapBytes.value_or(0)),
                                                            MetricFormatting::ByteCountStyle::memory)});
    std::optional<QString> recommendation;
    if (score < 70)
        recommendation = memoryRecommendation();
    return {kind, score, evidence, recommendation};
}

HealthTestComponentScore HealthTestScoreEngine::storageComponent(std::optional<double> minimumFreeFraction) {
    const auto kind = HealthTestComponentKind::storage;
    if (!minimumFreeFraction)
        return {kind, std::nullopt, trText("Boş depolama alanı okunamadı."), std::nullopt};
    const double f = *minimumFreeFraction;
    double value;
    if (f >= 0.20)
        value = 100;
    else if (f >= 0.10)
        value = 70 + (f - 0.10) / 0.10 * 30;
    else if (f >= 0.05)
        value = 35 + (f - 0.05) / 0.05 * 35;
    else
        value = 15;
    const int score = roundedClampedScore(value);
    std::optional<QString> recommendation;
    if (score < 75)
        recommendation = storageRecommendation();
    return {
        kind, score,
        trTemplate("Test sırasında kullanılabilir depolama alanı en az %\\(percent) idi.", {percentText(f)}),
        recommendation};
}

int HealthTestScoreEngine::stabilityScore(double firstRate, double secondRate, ThermalLevel highest) {
    int cap = 100;
    switch (highest) {
    case ThermalLevel::nominal:
    case ThermalLevel::unavailable:
        cap = 100;
        break;
    case ThermalLevel::fair:
        cap = 85;
        break;
    case ThermalLevel::serious:
        cap = 45;
        break;
    case ThermalLevel::critical:
        cap = 0;
        break;
    }
    const double r = secondRate / firstRate;
    if (std::isnan(r) || r < 0.70)
        return std::min(cap, 30);
    double value;
    if (r >= 0.95)
        value = 100;
    else if (r >= 0.85)
        value = roundHalfAwayFromZero(75 + (r - 0.85) / 0.10 * 25);
    else
        value = roundHalfAwayFromZero(45 + (r - 0.70) / 0.15 * 30);
    return std::min(cap, static_cast<int>(std::max(0.0, value)));
}

HealthTestComponentScore HealthTestScoreEngine::stabilityComponent(double firstRate, double secondRate,
                                                                   ThermalLevel highest) {
    const int score = stabilityScore(firstRate, secondRate, highest);
    std::optional<QString> recommendation;
    if (score < 75)
        recommendation =
            trText("Mac soğukken testi yeniden çalıştırın; düşüş tekrarlanırsa termal koşulları inceleyin.");
    return {HealthTestComponentKind::stability, score,
            trTemplate("İkinci işlemci geçişi ilk geçişin %\\(percent) düzeyinde tamamlandı.",
                       {percentText(secondRate / firstRate)}),
            recommendation};
}

int HealthTestScoreEngine::healthScore(const std::vector<HealthTestComponentScore>& components) {
    double weighted = 0;
    int weights = 0;
    for (const HealthTestComponentScore& component : components) {
        if (!component.score)
            continue;
        weighted += *component.score * weightOf(component.kind);
        weights += weightOf(component.kind);
    }
    if (weights == 0)
        return 0;
    return roundedClampedScore(weighted / weights);
}

HealthTestConfidence
HealthTestScoreEngine::confidence(const std::vector<HealthTestComponentScore>& components, bool hasGPURate) {
    int scored = 0;
    for (const HealthTestComponentScore& component : components)
        scored += component.score ? 1 : 0;
    if (hasGPURate && scored == 5)
        return HealthTestConfidence::high;
    if (scored >= 4)
        return HealthTestConfidence::medium;
    return HealthTestConfidence::low;
}

std::vector<HealthTestComponentScore>
HealthTestScoreEngine::components(const QuickHealthTestMeasurement& measurement) {
    const ThermalLevel highest = measurement.highestThermalLevel();
    return {batteryComponent(measurement.latestBattery()), thermalComponent(highest),
            memoryComponent(measurement.peakMemoryUsage(), measurement.peakSwapUsedBytes()),
            storageComponent(measurement.minimumAvailableDiskFraction()),
            stabilityComponent(measurement.firstCPUOperationsPerSecond,
                               measurement.secondCPUOperationsPerSecond, highest)};
}

HealthTestResult
HealthTestScoreEngine::makeResult(const QuickHealthTestMeasurement& measurement,
                                  const std::optional<HealthTestResult>& personalReference) const {
    HealthTestResult result;
    result.id = idProvider ? idProvider() : newUuid();
    result.startedAt = measurement.startedAt;
    result.endedAt = measurement.endedAt;
    result.components = components(measurement);
    result.healthScore = healthScore(result.components);
    result.stabilityScore = result.components.back().score.value_or(0);
    result.confidence = confidence(result.components, measurement.gpuOperationsPerSecond.has_value());
    result.firstCPUOperationsPerSecond = measurement.firstCPUOperationsPerSecond;
    result.secondCPUOperationsPerSecond = measurement.secondCPUOperationsPerSecond;
    result.gpuOperationsPerSecond = measurement.gpuOperationsPerSecond;
    result.storage = measurement.storage;
    result.gpuUnavailableReason =
        measurement.gpuOperationsPerSecond ? std::nullopt : measurement.gpuUnavailableReason;
    result.warnings = measurement.warnings;

    if (personalReference && personalReference->benchmarkVersion == HealthTestResult::kBenchmarkVersion) {
        const HealthTestResult& reference = *personalReference;
        std::vector<std::pair<double, double>> terms; // (ratio, weight)
        const auto addTerm = [&](double current, double earlier, double weight) {
            if (finitePositive(current) && finitePositive(earlier))
                terms.emplace_back(current / earlier, weight);
        };
        addTerm((measurement.firstCPUOperationsPerSecond + measurement.secondCPUOperationsPerSecond) / 2,
                (reference.firstCPUOperationsPerSecond + reference.secondCPUOperationsPerSecond) / 2, 0.55);
        addTerm(measurement.storage.writeBytesPerSecond, reference.storage.writeBytesPerSecond, 0.15);
        addTerm(measurement.storage.readBytesPerSecond, reference.storage.readBytesPerSecond, 0.15);
        if (measurement.gpuOperationsPerSecond && reference.gpuOperationsPerSecond)
            addTerm(*measurement.gpuOperationsPerSecond, *reference.gpuOperationsPerSecond, 0.15);
        double weighted = 0;
        double weights = 0;
        for (const auto& [ratio, weight] : terms) {
            weighted += weight * std::clamp(ratio, 0.0, 1.0);
            weights += weight;
        }
        result.personalCapacityPercent = weights > 0 ? roundedClampedScore(weighted / weights * 100) : 0;
        result.capacityReferenceID = reference.id;
    }
    return result;
}

} // namespace kestrum
