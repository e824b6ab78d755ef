#include "HealthPresentation.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <algorithm>

namespace kestrum::HealthPresentation {

namespace {
QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}
} // namespace

QString levelLabel(HealthLevel level) {
    switch (level) {
    case HealthLevel::normal:
        return tr("Normal");
    case HealthLevel::attention:
        return tr("Dikkat");
    case HealthLevel::critical:
        return tr("Kritik");
    case HealthLevel::unavailable:
        break;
    }
    return tr("Bilinmiyor");
}

QString confidenceLabel(HealthAssessmentConfidence confidence) {
    switch (confidence) {
    case HealthAssessmentConfidence::low:
        return tr("Düşük güven");
    case HealthAssessmentConfidence::medium:
        return tr("Orta güven");
    case HealthAssessmentConfidence::high:
        break;
    }
    return tr("Yüksek güven");
}

QString baselineConfidenceLabel(BaselineConfidence confidence) {
    switch (confidence) {
    case BaselineConfidence::learning:
        return tr("Öğreniyor");
    case BaselineConfidence::early:
        return tr("İlk kişisel normal hazır");
    case BaselineConfidence::established:
        break;
    }
    return tr("Kişisel normal güvenilir");
}

double baselineProgress(const PersonalBaseline& baseline) {
    if (baseline.confidence != BaselineConfidence::learning)
        return 1.0;
    return std::min(double(baseline.sampleCount) / 240.0, 1.0);
}

QString baselineProgressText(const PersonalBaseline& baseline) {
    if (baseline.confidence != BaselineConfidence::learning)
        return {};
    // Each persisted sample stands for one valid minute.
    return L10n::string(
        trTemplate("\\(sampleCount)/\\(requiredMinutes) geçerli dakika · \\(dayCount) farklı gün gözlendi "
                   "(\\(requiredDays) gerekli).",
                   {QString::number(baseline.sampleCount), QStringLiteral("240"),
                    QString::number(baseline.observedDayCount), QStringLiteral("3")}));
}

QString baselineNote(const PersonalBaseline& baseline) {
    if (baseline.confidence == BaselineConfidence::learning)
        return tr("Kişisel karşılaştırma öğrenilirken kritik termal, disk ve batarya kuralları çalışmaya "
                  "devam eder.");
    return tr("Uyarılar bu Mac’in olağan davranışını sabit güvenlik sınırlarıyla birlikte değerlendiriyor.");
}

} // namespace kestrum::HealthPresentation
