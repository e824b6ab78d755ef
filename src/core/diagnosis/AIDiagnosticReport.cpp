#include "AIDiagnosticReport.h"

#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"
#include "hardware/HardwareJson.h"

#include <QJsonArray>

namespace kestrum::json {

template <> struct JsonRecord<DiagnosticFinding> {
    using F = DiagnosticFinding;
    static constexpr auto fields = std::tuple{field("id", &F::id),
                                              field("category", &F::category),
                                              field("severity", &F::severity),
                                              field("title", &F::title),
                                              field("evidence", &F::evidence),
                                              field("interpretation", &F::interpretation),
                                              field("recommendedActions", &F::recommendedActions),
                                              field("confidence", &F::confidence)};
};

} // namespace kestrum::json

namespace kestrum {

QString AIDiagnosticReport::defaultPrivacyNote() {
    return trText("Bu değerlendirme bu bilgisayarda yapıldı; donanım verisi bir sunucuya gönderilmedi. Seri "
                  "numarası, kullanıcı adı, ağ adı, IP adresi ve dosya yolları değerlendirmeye eklenmedi.");
}

QJsonObject diagnosticFindingToJson(const DiagnosticFinding& finding) {
    QJsonObject object = json::encode(finding).toObject();
    object.insert(QStringLiteral("verifiedParts"), originalPartReferencesToJson(finding.verifiedParts));
    return object;
}

QJsonObject aiDiagnosticReportToJson(const AIDiagnosticReport& report) {
    QJsonArray findings;
    for (const DiagnosticFinding& finding : report.findings)
        findings.append(diagnosticFindingToJson(finding));
    QJsonObject object{{QStringLiteral("generatedAt"), report.generatedAt.secondsSinceReferenceDate},
                       {QStringLiteral("mode"), rawValue(report.mode)},
                       {QStringLiteral("summary"), report.summary},
                       {QStringLiteral("findings"), findings},
                       {QStringLiteral("privacyNote"), report.privacyNote}};
    if (report.aiExplanation)
        object.insert(QStringLiteral("aiExplanation"), *report.aiExplanation);
    return object;
}

} // namespace kestrum
