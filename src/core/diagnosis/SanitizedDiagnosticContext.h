#pragma once

#include "interpretation/HealthAssessment.h"
#include "measurement/ThermalLevel.h"

#include <QString>
#include <optional>

namespace kestrum {

// Counts over the archive samples of the seven days up to the snapshot.
struct DiagnosticHistorySummary {
    int sampleCount = 0;
    int highCPUSampleCount = 0;
    int highMemorySampleCount = 0;
    int seriousThermalSampleCount = 0;
    bool operator==(const DiagnosticHistorySummary&) const = default;
};

// Everything the explainer may see. It holds no serial number, disk identifier, user name, network name,
// address or path: only the model's name, component names and rounded figures.
struct SanitizedDiagnosticContext {
    bool hasLiveMeasurement = false;
    HealthAssessmentCoverage healthCoverage;
    HealthAssessmentConfidence healthConfidence = HealthAssessmentConfidence::low;
    QString modelIdentifier;
    QString modelName;
    std::optional<QString> processorName;
    std::optional<QString> graphicsName;
    std::optional<double> memoryGigabytes;
    std::optional<double> memoryUsageFraction;
    std::optional<double> swapGigabytes;
    std::optional<QString> storageModel;
    std::optional<double> storageGigabytes;
    std::optional<double> storageFreeFraction;
    std::optional<QString> batteryHealth;
    std::optional<double> batteryChargeFraction;
    std::optional<double> batteryTemperatureCelsius;
    ThermalLevel thermalLevel = ThermalLevel::unavailable;
    std::optional<double> cpuUsageFraction;
    DiagnosticHistorySummary history;
    std::optional<QString> symptom;

    bool operator==(const SanitizedDiagnosticContext&) const = default;
};

} // namespace kestrum
