#include "DiagnosticContextBuilder.h"

#include "interpretation/HealthAssessmentEngine.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace kestrum::DiagnosticContextBuilder {

namespace {

constexpr double kGibibyte = 1024.0 * 1024.0 * 1024.0;
constexpr double kGigabyte = 1e9;
constexpr double kHighUsage = 0.9;

// Characters that can reorder how the rest of the text is displayed (embeddings, overrides, isolates).
// Plain right-to-left text needs none of them; ZWJ and the marks that emoji sequences use stay.
bool isDirectionalFormatting(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isRemovedControl(char32_t c) {
    if (c == U'\t' || c == U'\n')
        return false;
    return QChar::category(c) == QChar::Other_Control || isDirectionalFormatting(c);
}

std::optional<QString> componentModel(const HardwareProfile& profile, HardwareComponentKind kind) {
    const DetectedHardwareComponent* component = profile.component(kind);
    if (!component || component->model.trimmed().isEmpty())
        return std::nullopt;
    return component->model;
}

std::optional<double> finiteOrNothing(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

DiagnosticHistorySummary summarise(const std::vector<HealthSample>& history, Date end) {
    DiagnosticHistorySummary summary;
    const double last = end.secondsSinceReferenceDate;
    const double first = last - kHistorySeconds;
    for (const HealthSample& sample : history) {
        const double time = sample.timestamp.secondsSinceReferenceDate;
        if (time < first || time > last)
            continue;
        ++summary.sampleCount;
        if (sample.cpuUsage && *sample.cpuUsage >= kHighUsage)
            ++summary.highCPUSampleCount;
        if (sample.memoryUsage && *sample.memoryUsage >= kHighUsage)
            ++summary.highMemorySampleCount;
        if (sample.thermalLevel == ThermalLevel::serious || sample.thermalLevel == ThermalLevel::critical)
            ++summary.seriousThermalSampleCount;
    }
    return summary;
}

} // namespace

std::optional<QString> sanitizedSymptom(const QString& symptom) {
    QString kept;
    kept.reserve(std::min<qsizetype>(symptom.size(), 64 * kMaximumSymptomCharacters));
    // Only the first 500 characters survive; scanning far beyond them would make a huge paste cost time
    // for nothing. Leading white space does not count towards the units kept.
    qsizetype keptAfterText = 0;
    for (qsizetype i = 0; i < symptom.size() && keptAfterText <= 64 * kMaximumSymptomCharacters;) {
        char32_t c = symptom.at(i).unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < symptom.size() &&
            QChar::isLowSurrogate(symptom.at(i + 1).unicode())) {
            c = QChar::surrogateToUcs4(symptom.at(i), symptom.at(i + 1));
            width = 2;
        } else if (QChar::isSurrogate(c)) {
            ++i; // a lone half of a pair is no character at all
            continue;
        }
        if (!isRemovedControl(c)) {
            kept.append(symptom.mid(i, width));
            if (keptAfterText > 0 || !QChar::isSpace(c))
                keptAfterText += width;
        }
        i += width;
    }
    kept = kept.trimmed();
    if (kept.isEmpty())
        return std::nullopt;
    // Characters as a reader counts them: an emoji with its modifiers or a letter with its accents is one.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, kept);
    qsizetype count = 0;
    while (count < kMaximumSymptomCharacters && finder.toNextBoundary() != -1)
        ++count;
    if (count == kMaximumSymptomCharacters && finder.position() > 0 && finder.position() < kept.size())
        kept.truncate(finder.position());
    return kept;
}

bool hasLiveMeasurement(const SystemSnapshot& snapshot) {
    return snapshot.cpu.availability.isAvailable() || snapshot.memory.availability.isAvailable() ||
           snapshot.disk.availability.isAvailable() ||
           (snapshot.battery.isPresent && snapshot.battery.availability.isAvailable()) ||
           snapshot.thermal != ThermalLevel::unavailable;
}

SanitizedDiagnosticContext makeContext(const HardwareProfile& profile,
                                       const std::optional<SystemSnapshot>& snapshot,
                                       const std::vector<HealthSample>& history, const QString& symptom) {
    SanitizedDiagnosticContext context;
    context.modelIdentifier = profile.modelIdentifier;
    context.modelName = profile.modelName;
    context.processorName = componentModel(profile, HardwareComponentKind::processor);
    context.graphicsName = componentModel(profile, HardwareComponentKind::graphics);
    context.storageModel = componentModel(profile, HardwareComponentKind::storage);
    if (profile.memoryBytes && *profile.memoryBytes > 0)
        context.memoryGigabytes = double(*profile.memoryBytes) / kGibibyte;
    if (profile.storageBytes && *profile.storageBytes > 0)
        context.storageGigabytes = double(*profile.storageBytes) / kGigabyte;
    context.symptom = sanitizedSymptom(symptom);
    if (!snapshot)
        return context;

    context.hasLiveMeasurement = hasLiveMeasurement(*snapshot);
    const HealthAssessment assessment = HealthAssessmentEngine::assess(*snapshot);
    context.healthCoverage = assessment.coverage;
    context.healthConfidence = assessment.confidence;

    const MemoryStats& memory = snapshot->memory;
    if (memory.availability.isAvailable() && memory.totalBytes > 0) {
        context.memoryUsageFraction =
            std::clamp(double(memory.usedBytes) / double(memory.totalBytes), 0.0, 1.0);
        context.swapGigabytes = double(memory.swapUsedBytes) / kGibibyte;
        if (!context.memoryGigabytes)
            context.memoryGigabytes = double(memory.totalBytes) / kGibibyte;
    }
    const DiskStats& disk = snapshot->disk;
    if (disk.availability.isAvailable() && disk.totalBytes > 0) {
        context.storageFreeFraction =
            std::clamp(double(disk.availableBytes) / double(disk.totalBytes), 0.0, 1.0);
        if (!context.storageGigabytes)
            context.storageGigabytes = double(disk.totalBytes) / kGigabyte;
    }
    const BatteryStats& battery = snapshot->battery;
    if (battery.isPresent && battery.availability.isAvailable()) {
        context.batteryHealth = battery.healthCondition;
        context.batteryChargeFraction = battery.chargeFraction;
        context.batteryTemperatureCelsius = battery.temperatureCelsius;
    }
    context.thermalLevel = snapshot->thermal;
    if (snapshot->cpu.availability.isAvailable())
        context.cpuUsageFraction = finiteOrNothing(snapshot->cpu.totalUsage);
    context.history = summarise(history, snapshot->timestamp);
    return context;
}

} // namespace kestrum::DiagnosticContextBuilder
