#include "HardwarePresentation.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

namespace kestrum::HardwarePresentation {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

} // namespace

QString componentLabel(HardwareComponentKind kind) {
    switch (kind) {
    case HardwareComponentKind::processor:
        return tr("İşlemci");
    case HardwareComponentKind::graphics:
        return tr("Grafik");
    case HardwareComponentKind::memory:
        return tr("Bellek");
    case HardwareComponentKind::storage:
        return tr("Depolama");
    case HardwareComponentKind::battery:
        return tr("Batarya");
    case HardwareComponentKind::power:
        return tr("Güç");
    case HardwareComponentKind::display:
        return tr("Ekran");
    case HardwareComponentKind::cooling:
        return tr("Soğutma");
    case HardwareComponentKind::ports:
        return tr("Bağlantı noktaları");
    }
    return {};
}

QString serviceabilityLabel(const ComponentServiceability& value) {
    switch (value.kind) {
    case ComponentServiceability::Case::replaceableByUser:
        return L10n::string(trTemplate("Kullanıcı değiştirebilir: \\(specification)", {value.specification}));
    case ComponentServiceability::Case::replaceableByService:
        return tr("Servis tarafından değiştirilebilir");
    case ComponentServiceability::Case::logicBoardIntegrated:
        return tr("Ana karta entegre");
    case ComponentServiceability::Case::notReplaceable:
        return tr("Değiştirilemez");
    case ComponentServiceability::Case::unknown:
        return tr("Değiştirilebilirliği bilinmiyor");
    }
    return {};
}

QString sourceLabel(HardwareDetectionSource source) {
    return source == HardwareDetectionSource::system ? tr("Sistemden okundu") : tr("Model kataloğundan");
}

QString applicabilityLabel(PartApplicability applicability) {
    switch (applicability) {
    case PartApplicability::exact:
        return tr("Bu modele uyar");
    case PartApplicability::configurationMatched:
        return tr("Bu yapılandırmaya uyar");
    case PartApplicability::requiresPhysicalVerification:
        return tr("Fiziksel doğrulama gerekir");
    }
    return {};
}

QString urgencyLabel(HardwareRecommendationUrgency urgency) {
    switch (urgency) {
    case HardwareRecommendationUrgency::information:
        return tr("Bilgi");
    case HardwareRecommendationUrgency::attention:
        return tr("Dikkat");
    case HardwareRecommendationUrgency::serviceRecommended:
        return tr("Servis önerilir");
    }
    return {};
}

QString recommendationKindLabel(HardwareRecommendationKind kind) {
    switch (kind) {
    case HardwareRecommendationKind::service:
        return tr("Servis");
    case HardwareRecommendationKind::upgrade:
        return tr("Yükseltme");
    case HardwareRecommendationKind::optimize:
        return tr("İyileştirme");
    }
    return {};
}

QString confidenceLabel(CulpritConfidence confidence) {
    switch (confidence) {
    case CulpritConfidence::low:
        return tr("Düşük güven");
    case CulpritConfidence::medium:
        return tr("Orta güven");
    case CulpritConfidence::high:
        return tr("Yüksek güven");
    }
    return {};
}

} // namespace kestrum::HardwarePresentation
