#include "DiagnosticEvidenceEngine.h"

#include "foundation/Translatable.h"

#include <QStringList>
#include <algorithm>

namespace kestrum::DiagnosticEvidenceEngine {

namespace {

DiagnosticSeverity severity(HardwareRecommendationUrgency urgency) {
    switch (urgency) {
    case HardwareRecommendationUrgency::information:
        return DiagnosticSeverity::information;
    case HardwareRecommendationUrgency::attention:
        return DiagnosticSeverity::attention;
    case HardwareRecommendationUrgency::serviceRecommended:
        return DiagnosticSeverity::service;
    }
    return DiagnosticSeverity::information;
}

CulpritConfidence findingConfidence(HealthAssessmentConfidence confidence) {
    switch (confidence) {
    case HealthAssessmentConfidence::high:
        return CulpritConfidence::high;
    case HealthAssessmentConfidence::medium:
        return CulpritConfidence::medium;
    case HealthAssessmentConfidence::low:
        break;
    }
    return CulpritConfidence::low;
}

QString joined(const std::vector<QString>& items) {
    QStringList list;
    for (const QString& item : items)
        list << item;
    return list.join(QStringLiteral(", "));
}

DiagnosticFinding noConfirmedFault(const SanitizedDiagnosticContext& context) {
    DiagnosticFinding finding;
    finding.id = QStringLiteral("no-confirmed-fault");
    finding.category = DiagnosticCategory::general;
    finding.severity = DiagnosticSeverity::information;
    finding.title = trText("Doğrulanmış arıza sinyali yok");
    finding.evidence =
        trTemplate("Değerlendirilebilen sinyaller (\\(signals)) servis gerektiren bir bulgu üretmedi.",
                   {joined(context.healthCoverage.evaluatedSignals)});
    if (!context.healthCoverage.unavailableSignals.empty())
        finding.evidence += QStringLiteral(" ") +
                            trTemplate("Ölçülemeyen ve bu sonuca dahil edilmeyen sinyaller: \\(signals).",
                                       {joined(context.healthCoverage.unavailableSignals)});
    finding.interpretation = trText("Bu sonuç arıza olmadığına dair garanti değildir; yalnızca Kestrum’nun "
                                    "okuyabildiği verilerde kanıt bulunmadığını gösterir.");
    finding.confidence = findingConfidence(context.healthConfidence);
    return finding;
}

DiagnosticFinding measurementNotReady() {
    DiagnosticFinding finding;
    finding.id = QStringLiteral("measurement-not-ready");
    finding.category = DiagnosticCategory::general;
    finding.severity = DiagnosticSeverity::information;
    finding.title = trText("Canlı ölçüm henüz hazır değil");
    finding.evidence =
        trText("İşlemci, bellek, disk, batarya ve termal durumdan kullanılabilir bir canlı örnek alınmadı.");
    finding.interpretation = trText("Ölçüm olmadan arıza veya sağlıklı durum sonucu çıkarılamaz.");
    finding.confidence = CulpritConfidence::low;
    return finding;
}

} // namespace

DiagnosticCategory category(HardwareComponentKind kind) {
    switch (kind) {
    case HardwareComponentKind::processor:
        return DiagnosticCategory::processor;
    case HardwareComponentKind::graphics:
    case HardwareComponentKind::display:
        return DiagnosticCategory::graphics;
    case HardwareComponentKind::memory:
        return DiagnosticCategory::memory;
    case HardwareComponentKind::storage:
        return DiagnosticCategory::storage;
    case HardwareComponentKind::battery:
    case HardwareComponentKind::power:
        return DiagnosticCategory::battery;
    case HardwareComponentKind::cooling:
        return DiagnosticCategory::thermal;
    case HardwareComponentKind::ports:
        return DiagnosticCategory::general;
    }
    return DiagnosticCategory::general;
}

DiagnosticCategory category(HealthInsightKind kind) {
    switch (kind) {
    case HealthInsightKind::thermal:
        return DiagnosticCategory::thermal;
    case HealthInsightKind::cpu:
        return DiagnosticCategory::processor;
    case HealthInsightKind::memory:
        return DiagnosticCategory::memory;
    case HealthInsightKind::disk:
        return DiagnosticCategory::storage;
    case HealthInsightKind::battery:
        return DiagnosticCategory::battery;
    case HealthInsightKind::wifi:
    case HealthInsightKind::network:
        return DiagnosticCategory::network;
    }
    return DiagnosticCategory::general;
}

std::vector<DiagnosticFinding> findings(const std::vector<HardwareRecommendation>& hardwareRecommendations,
                                        const std::vector<HealthInsight>& healthInsights,
                                        const SanitizedDiagnosticContext& context) {
    std::vector<DiagnosticFinding> result;
    result.reserve(hardwareRecommendations.size() + healthInsights.size() + 1);
    for (const HardwareRecommendation& recommendation : hardwareRecommendations) {
        DiagnosticFinding finding;
        finding.id = QStringLiteral("hardware-") + recommendation.id;
        finding.category = category(recommendation.componentKind);
        finding.severity = severity(recommendation.urgency);
        finding.title = recommendation.title;
        finding.evidence = recommendation.evidence;
        finding.interpretation =
            trText("Bu değerlendirme ölçüm geçmişi ve model uyumluluğu kurallarından üretildi.");
        finding.recommendedActions = {recommendation.action};
        finding.confidence = recommendation.confidence;
        finding.verifiedParts = recommendation.compatibleParts;
        result.push_back(std::move(finding));
    }
    for (const HealthInsight& insight : healthInsights) {
        DiagnosticFinding finding;
        finding.id = QStringLiteral("health-") + insight.signature;
        finding.category = category(insight.kind);
        finding.severity = insight.level == HealthLevel::critical ? DiagnosticSeverity::urgent
                                                                  : DiagnosticSeverity::attention;
        finding.title = insight.title;
        finding.evidence = insight.evidence;
        finding.interpretation = trText("Bu sinyal sistem ölçümü ve değerlendirme eşiklerinden üretildi; tek "
                                        "başına donanım arızası veya servis gereksinimi kanıtı değildir.");
        finding.recommendedActions = {insight.recommendation};
        finding.confidence = CulpritConfidence::high;
        result.push_back(std::move(finding));
    }
    if (result.empty())
        result.push_back(context.hasLiveMeasurement ? noConfirmedFault(context) : measurementNotReady());
    std::stable_sort(result.begin(), result.end(),
                     [](const DiagnosticFinding& a, const DiagnosticFinding& b) {
                         if (a.severity != b.severity)
                             return a.severity > b.severity;
                         return a.title < b.title;
                     });
    return result;
}

QString summary(const std::vector<DiagnosticFinding>& findings) {
    if (std::any_of(findings.begin(), findings.end(),
                    [](const DiagnosticFinding& f) { return f.id == u"measurement-not-ready"; }))
        return trText("Canlı ölçüm henüz hazır olmadığı için donanım sağlık sonucu çıkarılmadı.");
    const auto count = [&](DiagnosticSeverity severity) {
        return QString::number(
            std::count_if(findings.begin(), findings.end(),
                          [&](const DiagnosticFinding& f) { return f.severity == severity; }));
    };
    const QString urgent = count(DiagnosticSeverity::urgent);
    const QString service = count(DiagnosticSeverity::service);
    const QString attention = count(DiagnosticSeverity::attention);
    if (urgent == u"0" && service == u"0" && attention == u"0")
        return trText("Okunabilen sağlık verilerinde doğrulanmış bir donanım arızası sinyali bulunmadı.");
    if (urgent != u"0")
        return trTemplate(
            "\\(urgentCount) öncelikli kontrol, \\(serviceCount) servis önerisi ve \\(attentionCount) dikkat "
            "gerektiren sinyal var. Öncelikli kontrol tek başına arıza teşhisi değildir.",
            {urgent, service, attention});
    if (service != u"0")
        return trTemplate("\\(serviceCount) servis öncelikli bulgu ve \\(attentionCount) dikkat gerektiren "
                          "sinyal belirlendi.",
                          {service, attention});
    return trTemplate(
        "\\(attentionCount) dikkat gerektiren sinyal belirlendi; mevcut kanıt kesin donanım arızası "
        "göstermiyor.",
        {attention});
}

} // namespace kestrum::DiagnosticEvidenceEngine
