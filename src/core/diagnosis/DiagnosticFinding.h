#pragma once

#include "culprits/CulpritConfidence.h"
#include "foundation/EnumTraits.h"
#include "hardware/OriginalPartReference.h"
#include "interpretation/HealthAssessment.h"

#include <QString>
#include <vector>

namespace kestrum {

// The hardware area a finding (or a typed symptom) belongs to.
enum class DiagnosticCategory { general, processor, graphics, memory, storage, battery, thermal, network };

template <> struct EnumTraits<DiagnosticCategory> {
    static constexpr std::pair<DiagnosticCategory, std::string_view> cases[] = {
        {DiagnosticCategory::general, "general"},   {DiagnosticCategory::processor, "processor"},
        {DiagnosticCategory::graphics, "graphics"}, {DiagnosticCategory::memory, "memory"},
        {DiagnosticCategory::storage, "storage"},   {DiagnosticCategory::battery, "battery"},
        {DiagnosticCategory::thermal, "thermal"},   {DiagnosticCategory::network, "network"},
    };
};

// Least severe first.
enum class DiagnosticSeverity { information, attention, service, urgent };

template <> struct EnumTraits<DiagnosticSeverity> {
    static constexpr std::pair<DiagnosticSeverity, std::string_view> cases[] = {
        {DiagnosticSeverity::information, "information"},
        {DiagnosticSeverity::attention, "attention"},
        {DiagnosticSeverity::service, "service"},
        {DiagnosticSeverity::urgent, "urgent"},
    };
};

// One verified statement about the machine, with what it rests on and how far it may be read.
struct DiagnosticFinding {
    QString id;
    DiagnosticCategory category = DiagnosticCategory::general;
    DiagnosticSeverity severity = DiagnosticSeverity::information;
    QString title;
    QString evidence;
    QString interpretation;
    std::vector<QString> recommendedActions;
    CulpritConfidence confidence = CulpritConfidence::low;
    std::vector<OriginalPartReference> verifiedParts;

    bool operator==(const DiagnosticFinding&) const = default;
};

namespace DiagnosticLabels {
// "Genel", "İşlemci", … (Turkish keys; localise where shown).
QString categoryLabel(DiagnosticCategory category);
// "GENERAL", "PROCESSOR", … — the only words the language model may answer with.
QString modelLabel(DiagnosticCategory category);
// "Bilgi", "Dikkat", "Servis", "Öncelikli kontrol".
QString severityLabel(DiagnosticSeverity severity);
// "Düşük güven", "Orta güven", "Yüksek güven".
QString confidenceLabel(CulpritConfidence confidence);
// The same labels for a health assessment, whose low confidence reads "Sınırlı güven".
QString assessmentConfidenceLabel(HealthAssessmentConfidence confidence);
} // namespace DiagnosticLabels

} // namespace kestrum
