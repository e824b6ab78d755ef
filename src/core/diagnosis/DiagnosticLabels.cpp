#include "DiagnosticFinding.h"
#include "foundation/Translatable.h"

namespace kestrum::DiagnosticLabels {

QString categoryLabel(DiagnosticCategory category) {
    switch (category) {
    case DiagnosticCategory::general:
        return trText("Genel");
    case DiagnosticCategory::processor:
        return trText("İşlemci");
    case DiagnosticCategory::graphics:
        return trText("Grafik");
    case DiagnosticCategory::memory:
        return trText("Bellek");
    case DiagnosticCategory::storage:
        return trText("Depolama");
    case DiagnosticCategory::battery:
        return trText("Batarya");
    case DiagnosticCategory::thermal:
        return trText("Termal");
    case DiagnosticCategory::network:
        return trText("Ağ");
    }
    return trText("Genel");
}

QString modelLabel(DiagnosticCategory category) {
    return rawValue(category).toUpper();
}

QString severityLabel(DiagnosticSeverity severity) {
    switch (severity) {
    case DiagnosticSeverity::information:
        return trText("Bilgi");
    case DiagnosticSeverity::attention:
        return trText("Dikkat");
    case DiagnosticSeverity::service:
        return trText("Servis");
    case DiagnosticSeverity::urgent:
        return trText("Öncelikli kontrol");
    }
    return trText("Bilgi");
}

QString confidenceLabel(CulpritConfidence confidence) {
    switch (confidence) {
    case CulpritConfidence::low:
        return trText("Düşük güven");
    case CulpritConfidence::medium:
        return trText("Orta güven");
    case CulpritConfidence::high:
        return trText("Yüksek güven");
    }
    return trText("Düşük güven");
}

QString assessmentConfidenceLabel(HealthAssessmentConfidence confidence) {
    switch (confidence) {
    case HealthAssessmentConfidence::low:
        return trText("Sınırlı güven");
    case HealthAssessmentConfidence::medium:
        return trText("Orta güven");
    case HealthAssessmentConfidence::high:
        return trText("Yüksek güven");
    }
    return trText("Sınırlı güven");
}

} // namespace kestrum::DiagnosticLabels
