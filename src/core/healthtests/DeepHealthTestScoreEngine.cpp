#include "DeepHealthTestScoreEngine.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kestrum {

namespace {

bool finitePositive(double value) {
    return std::isfinite(value) && value > 0;
}

std::optional<double> mean(const std::vector<double>& values) {
    if (values.empty())
        return std::nullopt;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

std::optional<double> weightedPercent(const std::vector<std::pair<double, double>>& terms) {
    double weighted = 0;
    double weights = 0;
    for (const auto& [value, weight] : terms) {
        weighted += value * weight;
        weights += weight;
    }
    if (weights <= 0)
        return std::nullopt;
    return weighted / weights;
}

std::optional<int> thermalCapacityScore(ThermalLevel level) {
    switch (level) {
    case ThermalLevel::nominal:
        return 100;
    case ThermalLevel::fair:
        return 80;
    case ThermalLevel::serious:
        return 35;
    case ThermalLevel::critical:
        return 0;
    case ThermalLevel::unavailable:
        break;
    }
    return std::nullopt;
}

std::optional<int> largestCount(const std::optional<std::vector<int>>& counts) {
    if (!counts || counts->empty())
        return std::nullopt;
    return *std::max_element(counts->begin(), counts->end());
}

const HealthTestComponentScore* componentOf(const std::vector<HealthTestComponentScore>& components,
                                            HealthTestComponentKind kind) {
    for (const HealthTestComponentScore& component : components) {
        if (component.kind == kind)
            return &component;
    }
    return nullptr;
}

} // namespace

std::optional<double> DeepHealthTestScoreEngine::retention(const std::vector<double>& rates) {
    if (rates.size() < 2)
        return std::nullopt;
    const size_t window = std::min<size_t>(rates.size() / 2, 2);
    const std::vector<double> first(rates.begin(), rates.begin() + static_cast<long>(window));
    const std::vector<double> last(rates.end() - static_cast<long>(window), rates.end());
    const double firstMean = *mean(first);
    const double lastMean = *mean(last);
    if (!finitePositive(firstMean) || !finitePositive(lastMean))
        return std::nullopt;
    return lastMean / firstMean;
}

int DeepHealthTestScoreEngine::retentionScore(double r) {
    if (r >= 0.95)
        return 100;
    if (r >= 0.85)
        return roundedClampedScore(75 + (r - 0.85) / 0.10 * 25);
    if (r >= 0.70)
        return roundedClampedScore(45 + (r - 0.70) / 0.15 * 30);
    return 30;
}

int DeepHealthTestScoreEngine::sustainedCapacityScore(const std::vector<double>& cpuRatesAtMaximum,
                                                      const std::vector<double>& gpuRates,
                                                      ThermalLevel highest) {
    std::vector<std::pair<double, double>> terms;
    if (const auto cpu = retention(cpuRatesAtMaximum))
        terms.emplace_back(retentionScore(*cpu), 0.65);
    if (const auto gpu = retention(gpuRates))
        terms.emplace_back(retentionScore(*gpu), 0.25);
    if (const auto thermal = thermalCapacityScore(highest))
        terms.emplace_back(*thermal, 0.10);
    const auto score = weightedPercent(terms);
    return score ? roundedClampedScore(*score) : 0;
}

DeepHealthTestResult
DeepHealthTestScoreEngine::makeResult(const DeepHealthTestMeasurement& measurement,
                                      const std::optional<DeepHealthTestResult>& personalReference) const {
    const std::optional<std::vector<int>> workerCounts =
        measurement.cpuWorkerCounts.empty() ? std::nullopt : std::optional(measurement.cpuWorkerCounts);
    const std::vector<double> cpuAtMaximum =
        ratesAtMaximumWorkerCount(measurement.cpuOperationsPerSecond, workerCounts);
    const ThermalLevel highest = measurement.highestThermalLevel();

    // 1. The five components through the quick test's rules.
    QuickHealthTestMeasurement quick;
    quick.startedAt = measurement.startedAt;
    quick.endedAt = measurement.endedAt;
    quick.snapshots = measurement.snapshots;
    quick.firstCPUOperationsPerSecond = cpuAtMaximum.empty() ? 0 : cpuAtMaximum.front();
    quick.secondCPUOperationsPerSecond = cpuAtMaximum.empty() ? 0 : cpuAtMaximum.back();
    quick.gpuOperationsPerSecond = mean(measurement.gpuOperationsPerSecond);
    quick.storage = measurement.storage;
    const HealthTestResult componentResult = healthScoreEngine.makeResult(quick, std::nullopt);

    DeepHealthTestResult result;
    result.id = healthScoreEngine.idProvider ? healthScoreEngine.idProvider() : newUuid();
    result.startedAt = measurement.startedAt;
    result.endedAt = measurement.endedAt;
    result.healthScore = componentResult.healthScore;
    result.components = componentResult.components;
    result.cpuOperationsPerSecond = measurement.cpuOperationsPerSecond;
    result.cpuWorkerCounts = measurement.cpuWorkerCounts;
    result.gpuOperationsPerSecond = measurement.gpuOperationsPerSecond;
    result.memory = measurement.memory;
    result.storage = measurement.storage;
    result.highestThermalLevel = highest;
    result.gpuUnavailableReason =
        measurement.gpuOperationsPerSecond.empty() ? measurement.gpuUnavailableReason : std::nullopt;
    result.warnings = measurement.warnings;

    // 2-3. Retention and sustained capacity.
    const auto cpuRetention = retention(cpuAtMaximum);
    const auto gpuRetention = retention(measurement.gpuOperationsPerSecond);
    result.sustainedCapacityScore =
        sustainedCapacityScore(cpuAtMaximum, measurement.gpuOperationsPerSecond, highest);

    // 4. Personal capacity against the first deep test of the same version.
    const bool usesReference =
        personalReference && personalReference->benchmarkVersion == DeepHealthTestResult::kBenchmarkVersion;
    if (usesReference) {
        const DeepHealthTestResult& reference = *personalReference;
        std::vector<std::pair<double, double>> terms; // (clamped ratio, weight)
        const auto addTerm = [&](std::optional<double> current, std::optional<double> earlier,
                                 double weight) {
            if (current && earlier && finitePositive(*current) && finitePositive(*earlier))
                terms.emplace_back(std::clamp(*current / *earlier, 0.0, 1.0), weight);
        };
        if (measurement.maximumCPUWorkerCount() == largestCount(reference.cpuWorkerCounts))
            addTerm(mean(cpuAtMaximum), reference.averageCPUOperationsPerSecond(), 0.45);
        addTerm(mean(measurement.gpuOperationsPerSecond), mean(reference.gpuOperationsPerSecond), 0.20);
        addTerm(measurement.memory.copyBytesPerSecond, reference.memory.copyBytesPerSecond, 0.15);
        addTerm(measurement.storage.writeBytesPerSecond, reference.storage.writeBytesPerSecond, 0.10);
        addTerm(measurement.storage.readBytesPerSecond, reference.storage.readBytesPerSecond, 0.10);
        const auto percent = weightedPercent(terms);
        result.personalCapacityPercent = percent ? roundedClampedScore(*percent * 100) : 0;
        result.capacityReferenceID = reference.id;
    }

    // 5. Confidence.
    if (componentResult.confidence == HealthTestConfidence::high && cpuAtMaximum.size() > 3 &&
        measurement.gpuOperationsPerSecond.size() > 3)
        result.confidence = HealthTestConfidence::high;
    else if (cpuAtMaximum.size() > 1)
        result.confidence = HealthTestConfidence::medium;
    else
        result.confidence = HealthTestConfidence::low;

    // 6. Findings, in their fixed order.
    using Kind = DeepHealthTestFindingKind;
    std::vector<DeepHealthTestFinding>& findings = result.findings;
    if (!usesReference) {
        findings.push_back(
            {Kind::baseline, HealthLevel::normal, trText("Derin test referansı oluşturuldu"),
             trText("Bu sonuç aynı test sürümündeki sonraki ölçümler için kişisel referans olacak."),
             trText(
                 "Benzer güç ve ortam koşullarında yeniden test ederek kapasite değişimini karşılaştırın.")});
    }
    if (highest == ThermalLevel::fair) {
        findings.push_back({Kind::thermal, HealthLevel::attention, trText("Hafif termal baskı gözlendi"),
                            trText("Derin test sırasında macOS termal durumu hafif yüksek seviyeye çıktı."),
                            trText("Hava girişlerini açık tutun ve Mac soğukken testi tekrarlayın.")});
    }
    if (cpuRetention && retentionScore(*cpuRetention) < 75) {
        findings.push_back(
            {Kind::processor, HealthLevel::attention, trText("İşlemci performansı uzun yükte düştü"),
             trTemplate("Son işlemci turları ilk turların %\\(percent) düzeyinde kaldı.",
                        {QString::number(roundedInteger(*cpuRetention * 100))}),
             trText(
                 "Arka plan uygulamalarını kapatıp Mac soğukken tekrar test edin; düşüş tekrarlanırsa termal "
                 "koşulları inceleyin.")});
    }
    if (gpuRetention && retentionScore(*gpuRetention) < 75) {
        findings.push_back(
            {Kind::graphics, HealthLevel::attention, trText("Grafik performansı uzun yükte düştü"),
             trTemplate("Son grafik turları ilk turların %\\(percent) düzeyinde kaldı.",
                        {QString::number(roundedInteger(*gpuRetention * 100))}),
             trText("Grafik ağırlıklı uygulamaları kapatıp testi tekrarlayın ve termal bulgularla birlikte "
                    "değerlendirin.")});
    }
    if (const auto* memory = componentOf(result.components, HealthTestComponentKind::memory);
        memory && memory->score && *memory->score <= 69) {
        findings.push_back({Kind::memory, HealthLevel::attention, trText("Bellek kullanım oranı yüksek"),
                            memory->evidence, HealthTestScoreEngine::memoryRecommendation()});
    }
    if (const auto* storage = componentOf(result.components, HealthTestComponentKind::storage);
        storage && storage->score && *storage->score <= 74) {
        findings.push_back({Kind::storage, HealthLevel::attention, trText("Boş depolama alanı sınırlı"),
                            storage->evidence, HealthTestScoreEngine::storageRecommendation()});
    }
    if (result.personalCapacityPercent && *result.personalCapacityPercent < 80) {
        findings.push_back(
            {Kind::overall, HealthLevel::attention, trText("Kişisel referansa göre kapasite düşüşü"),
             trTemplate("Toplam kapasite ilk aynı sürüm derin testinin %\\(percent) düzeyinde kaldı.",
                        {QString::number(*result.personalCapacityPercent)}),
             trText("Aynı güç ve ortam koşullarında testi yeniden çalıştırın; tekrar eden düşüşte bileşen "
                    "bulgularını inceleyin.")});
    } else if (findings.empty()) {
        findings.push_back(
            {Kind::overall, HealthLevel::normal, trText("Belirgin bir sürdürülebilir darboğaz görülmedi"),
             trText("İşlemci, grafik, bellek, depolama ve termal kanıtlar belirgin bir kapasite kaybı "
                    "göstermedi."),
             trText("Sonucu zaman içinde aynı koşullarda karşılaştırın.")});
    }
    if (result.sustainedCapacityScore <= 74) {
        findings.push_back(
            {Kind::overall, HealthLevel::attention, trText("Sürdürülebilir kapasite düşük"),
             trTemplate("Uzun yük kararlılığı %\\(percent) olarak ölçüldü.",
                        {QString::number(result.sustainedCapacityScore)}),
             trText("Termal ve uygulama kaynaklı bulguları birlikte inceleyip testi tekrarlayın.")});
    }
    return result;
}

} // namespace kestrum
