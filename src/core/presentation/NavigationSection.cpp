#include "NavigationSection.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

namespace kestrum {

QString navigationTitle(NavigationSection section) {
    const char* title = "";
    switch (section) {
    case NavigationSection::overview:
        title = TR_MARK("Genel Bakış");
        break;
    case NavigationSection::healthCenter:
        title = TR_MARK("Sağlık Merkezi");
        break;
    case NavigationSection::fullSystemScan:
        title = TR_MARK("Tam Tarama");
        break;
    case NavigationSection::healthTest:
        title = TR_MARK("Sağlık Testi");
        break;
    case NavigationSection::benchmarkLab:
        title = TR_MARK("Benchmark");
        break;
    case NavigationSection::hardwareAdvisor:
        title = TR_MARK("Donanım Danışmanı");
        break;
    case NavigationSection::aiHardwareDoctor:
        title = TR_MARK("AI Donanım Asistanı");
        break;
    case NavigationSection::performance:
        title = TR_MARK("Performans");
        break;
    case NavigationSection::resourceAnalysis:
        title = TR_MARK("Kaynak Analizi");
        break;
    case NavigationSection::battery:
        title = TR_MARK("Batarya");
        break;
    case NavigationSection::network:
        title = TR_MARK("Ağ ve Wi-Fi");
        break;
    case NavigationSection::storageMap:
        title = TR_MARK("Depolama Haritası");
        break;
    case NavigationSection::history:
        title = TR_MARK("Geçmiş");
        break;
    case NavigationSection::advanced:
        title = TR_MARK("Advanced");
        break;
    }
    return L10n::string(QString::fromUtf8(title));
}

QString navigationSymbol(NavigationSection section) {
    switch (section) {
    case NavigationSection::overview:
        return QStringLiteral("gauge.with.dots.needle.67percent");
    case NavigationSection::healthCenter:
        return QStringLiteral("cross.case.fill");
    case NavigationSection::fullSystemScan:
    case NavigationSection::healthTest:
        return QStringLiteral("checkmark.shield.fill");
    case NavigationSection::benchmarkLab:
        return QStringLiteral("speedometer");
    case NavigationSection::hardwareAdvisor:
        return QStringLiteral("wrench.and.screwdriver.fill");
    case NavigationSection::aiHardwareDoctor:
        return QStringLiteral("sparkles");
    case NavigationSection::performance:
        return QStringLiteral("waveform.path.ecg");
    case NavigationSection::resourceAnalysis:
        return QStringLiteral("app.badge.checkmark");
    case NavigationSection::battery:
        return QStringLiteral("battery.75percent");
    case NavigationSection::network:
        return QStringLiteral("wifi");
    case NavigationSection::storageMap:
        return QStringLiteral("square.grid.3x3.topleft.filled");
    case NavigationSection::history:
        return QStringLiteral("chart.xyaxis.line");
    case NavigationSection::advanced:
        return QStringLiteral("cpu");
    }
    return {};
}

std::vector<NavigationSection> availableSections(const std::set<NavigationSection>& capabilities) {
    std::vector<NavigationSection> out;
    for (const NavigationSection section : allCases<NavigationSection>()) {
        if (capabilities.count(section))
            out.push_back(section);
    }
    return out;
}

std::set<NavigationSection> builtCapabilities() {
    return {NavigationSection::overview, NavigationSection::healthCenter, NavigationSection::battery,
            NavigationSection::network, NavigationSection::storageMap};
}

} // namespace kestrum
