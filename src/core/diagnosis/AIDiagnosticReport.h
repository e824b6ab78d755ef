#pragma once

#include "DiagnosticFinding.h"
#include "foundation/Date.h"

#include <QJsonObject>
#include <optional>
#include <vector>

namespace kestrum {

enum class AIDiagnosticMode { evidenceOnly, onDeviceAI };

template <> struct EnumTraits<AIDiagnosticMode> {
    static constexpr std::pair<AIDiagnosticMode, std::string_view> cases[] = {
        {AIDiagnosticMode::evidenceOnly, "evidenceOnly"},
        {AIDiagnosticMode::onDeviceAI, "onDeviceAI"},
    };
};

// The hardware doctor's latest answer: the findings and their summary always, the guarded explanation
// only when the local model gave one.
struct AIDiagnosticReport {
    Date generatedAt;
    AIDiagnosticMode mode = AIDiagnosticMode::evidenceOnly;
    QString summary;
    std::optional<QString> aiExplanation;
    std::vector<DiagnosticFinding> findings;
    QString privacyNote;

    // "Bu değerlendirme bu bilgisayarda yapıldı; …"
    static QString defaultPrivacyNote();
    bool operator==(const AIDiagnosticReport&) const = default;
};

QJsonObject diagnosticFindingToJson(const DiagnosticFinding& finding);
QJsonObject aiDiagnosticReportToJson(const AIDiagnosticReport& report);

} // namespace kestrum
