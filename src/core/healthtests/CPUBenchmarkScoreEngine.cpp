#include "CPUBenchmarkScoreEngine.h"

#include "HealthTestErrors.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

bool finitePositive(double value) {
    return std::isfinite(value) && value > 0;
}

bool isValidSampleList(const std::vector<double>& samples) {
    return samples.size() >= 2 && std::all_of(samples.begin(), samples.end(), finitePositive);
}

bool conditionsDisturbed(const CPUBenchmarkEnvironment& e) {
    return e.buildFlavor == CPUBenchmarkBuildFlavor::debug || e.lowPowerModeEnabled ||
           e.startThermalLevel == ThermalLevel::fair || e.endThermalLevel == ThermalLevel::fair ||
           (e.initialCPUUsage && *e.initialCPUUsage >= 0.25);
}

} // namespace

std::vector<QString> CPUBenchmarkScoreEngine::warnings(const CPUBenchmarkEnvironment& e) {
    std::vector<QString> out;
    if (e.buildFlavor == CPUBenchmarkBuildFlavor::debug)
        out.push_back(
            trText("Geliştirici derlemesindeki sonuçlar App Store yayın derlemesiyle karşılaştırılmaz."));
    if (e.distributionChannel == CPUBenchmarkDistributionChannel::legacyUnknown)
        out.push_back(trText("Eski sonucun dağıtım kanalı bilinmediği için yeni sonuçlara referans olmaz."));
    if (e.distributionChannel == CPUBenchmarkDistributionChannel::localRelease)
        out.push_back(trText("Yerel yayın sonucu TestFlight veya App Store sonucuyla karşılaştırılmaz."));
    if (e.lowPowerModeEnabled)
        out.push_back(trText("Düşük Güç Modu performansı sınırlayabilir."));
    if (e.powerSource == CPUBenchmarkPowerSource::battery)
        out.push_back(trText("Bataryada ölçülen sonuç güç adaptöründeki sonuçtan farklı olabilir."));
    if (e.initialCPUUsage && *e.initialCPUUsage >= 0.25)
        out.push_back(trTemplate("Başlangıçta arka plan CPU kullanımı %\\(percent) idi.",
                                 {QString::number(roundedInteger(*e.initialCPUUsage * 100))}));
    if (e.startThermalLevel == ThermalLevel::fair || e.endThermalLevel == ThermalLevel::fair)
        out.push_back(trText("Test sırasında hafif termal baskı gözlendi."));
    if (e.startThermalLevel != e.endThermalLevel)
        out.push_back(trText("Termal durum test sırasında değişti; sonucu benzer koşullarda tekrarlayın."));
    return out;
}

HealthTestConfidence CPUBenchmarkScoreEngine::confidence(const CPUBenchmarkMeasurement& measurement) {
    using CPUBenchmarkStatistics::coefficientOfVariation;
    const double c = std::max(coefficientOfVariation(measurement.singleCoreSamples),
                              coefficientOfVariation(measurement.multiCoreSamples));
    HealthTestConfidence grade = c <= 0.03   ? HealthTestConfidence::high
                                 : c <= 0.08 ? HealthTestConfidence::medium
                                             : HealthTestConfidence::low;
    if (grade == HealthTestConfidence::high && conditionsDisturbed(measurement.environment))
        grade = HealthTestConfidence::medium;
    return grade;
}

int CPUBenchmarkScoreEngine::personalPerformancePercent(const CPUBenchmarkMeasurement& measurement,
                                                        const CPUBenchmarkResult& reference) {
    using namespace CPUBenchmarkStatistics;
    const double ratio =
        0.45 * median(measurement.singleCoreSamples) / validMedian(reference.singleCoreSamples) +
        0.55 * median(measurement.multiCoreSamples) / validMedian(reference.multiCoreSamples);
    if (ratio <= 0.25)
        return 25;
    return static_cast<int>(roundHalfAwayFromZero(std::min(ratio, 4.0) * 100));
}

CPUBenchmarkResult
CPUBenchmarkScoreEngine::makeResult(const CPUBenchmarkMeasurement& measurement,
                                    const std::optional<CPUBenchmarkResult>& personalReference) const {
    if (!isValidSampleList(measurement.singleCoreSamples) || !isValidSampleList(measurement.multiCoreSamples))
        throw CPUBenchmarkError::invalidWorkloadResult();
    CPUBenchmarkResult result;
    result.id = idProvider ? idProvider() : newUuid();
    result.startedAt = measurement.startedAt;
    result.endedAt = measurement.endedAt;
    result.mode = measurement.mode;
    result.singleCoreSamples = measurement.singleCoreSamples;
    result.multiCoreSamples = measurement.multiCoreSamples;
    result.environment = measurement.environment;
    result.confidence = confidence(measurement);
    result.warnings = warnings(measurement.environment);
    result.warnings.insert(result.warnings.end(), measurement.extraWarnings.begin(),
                           measurement.extraWarnings.end());

    using CPUBenchmarkStatistics::validMedian;
    if (personalReference && personalReference->isComparableReference(measurement) &&
        finitePositive(validMedian(personalReference->singleCoreSamples)) &&
        finitePositive(validMedian(personalReference->multiCoreSamples))) {
        result.personalPerformancePercent = personalPerformancePercent(measurement, *personalReference);
        result.performanceReferenceID = personalReference->id;
    }
    return result;
}

} // namespace kestrum
