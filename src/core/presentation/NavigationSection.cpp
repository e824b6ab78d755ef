#include "NavigationSection.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <array>

namespace kestrum {

namespace {

using S = NavigationSection;
constexpr std::array<NavigationSectionEntry, 14> kTable = {{
    {S::overview, TR_MARK("Genel Bakış"), "gauge.with.dots.needle.67percent", "OverviewSection.qml"},
    {S::healthCenter, TR_MARK("Sağlık Merkezi"), "cross.case.fill", "HealthCenterSection.qml"},
    {S::fullSystemScan, TR_MARK("Tam Tarama"), "checkmark.shield.fill", "FullScanSection.qml"},
    {S::healthTest, TR_MARK("Sağlık Testi"), "checkmark.shield.fill", "HealthTestSection.qml"},
    {S::benchmarkLab, TR_MARK("Benchmark"), "speedometer", "BenchmarkLabSection.qml"},
    {S::hardwareAdvisor, TR_MARK("Donanım Danışmanı"), "wrench.and.screwdriver.fill",
     "HardwareAdvisorSection.qml"},
    {S::aiHardwareDoctor, TR_MARK("AI Donanım Asistanı"), "sparkles", "AiHardwareDoctorSection.qml"},
    {S::performance, TR_MARK("Performans"), "waveform.path.ecg", "PerformanceSection.qml"},
    {S::resourceAnalysis, TR_MARK("Kaynak Analizi"), "app.badge.checkmark", "ResourceAnalysisSection.qml"},
    {S::battery, TR_MARK("Batarya"), "battery.75percent", "BatterySection.qml"},
    {S::network, TR_MARK("Ağ ve Wi-Fi"), "wifi", "NetworkSection.qml"},
    {S::storageMap, TR_MARK("Depolama Haritası"), "square.grid.3x3.topleft.filled", "StorageMapSection.qml"},
    {S::history, TR_MARK("Geçmiş"), "chart.xyaxis.line", "HistorySection.qml"},
    {S::advanced, TR_MARK("Advanced"), "cpu", "AdvancedSection.qml"},
}};

} // namespace

std::span<const NavigationSectionEntry> navigationTable() {
    return kTable;
}

const NavigationSectionEntry& navigationEntry(NavigationSection section) {
    for (const NavigationSectionEntry& entry : kTable) {
        if (entry.section == section)
            return entry;
    }
    return kTable.front(); // unreachable: every case is in the table (tested)
}

QString navigationTitle(NavigationSection section) {
    return L10n::string(QString::fromUtf8(navigationEntry(section).title));
}

QString navigationSymbol(NavigationSection section) {
    return QString::fromLatin1(navigationEntry(section).symbol);
}

QString navigationViewFile(NavigationSection section) {
    const char* file = navigationEntry(section).viewFile;
    return file ? QString::fromLatin1(file) : QString();
}

std::vector<NavigationSection> availableSections(const std::set<NavigationSection>& capabilities) {
    std::vector<NavigationSection> out;
    for (const NavigationSectionEntry& entry : kTable) {
        if (capabilities.count(entry.section))
            out.push_back(entry.section);
    }
    return out;
}

std::set<NavigationSection> builtCapabilities() {
    std::set<NavigationSection> built;
    for (const NavigationSectionEntry& entry : kTable) {
        if (entry.viewFile)
            built.insert(entry.section);
    }
    return built;
}

} // namespace kestrum
