#include "HardwareRecommendationEngine.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"

#include <algorithm>

namespace kestrum::HardwareRecommendationEngine {

namespace {

constexpr size_t kMinimumMemorySamples = 60;
constexpr size_t kHighConfidenceMemorySamples = 240;
constexpr double kHighMemoryUsage = 0.9;
constexpr double kPressureShare = 0.3;
constexpr uint64_t kSwapPressureBytes = 536'870'912;        // 512 MiB
constexpr uint64_t kSevereSwapBytes = 4ULL * 1'073'741'824; // 4 GiB
constexpr double kCompressedPressureShare = 0.2;
constexpr double kLowFreeSpace = 0.1;
constexpr double kVeryLowFreeSpace = 0.05;
constexpr double kLowCPUUsage = 0.5;
constexpr int kCoolingEventThreshold = 3;

std::vector<QString> componentEvidence(const HardwareProfile& profile, HardwareComponentKind kind) {
    const DetectedHardwareComponent* component = profile.component(kind);
    return component ? component->evidence : std::vector<QString>{};
}

std::vector<HealthSample> lastWeek(const std::vector<HealthSample>& history, Date now) {
    const Date since = now.addingSeconds(-kLookbackSeconds);
    std::vector<HealthSample> recent;
    std::copy_if(history.begin(), history.end(), std::back_inserter(recent),
                 [&](const HealthSample& sample) { return sample.timestamp >= since; });
    return recent;
}

std::optional<HardwareRecommendation> battery(const HardwareProfile& profile,
                                              const SystemSnapshot& snapshot) {
    const BatteryStats& stats = snapshot.battery;
    if (!stats.availability.isAvailable() || !stats.isPresent || !stats.healthCondition)
        return std::nullopt;
    const QString condition = stats.healthCondition->trimmed();
    const QString lower = condition.toLower();
    if (condition.isEmpty() || lower == u"good" || lower == u"normal")
        return std::nullopt;
    const bool fair = lower == u"fair";
    HardwareRecommendation recommendation;
    recommendation.id = QStringLiteral("battery-service");
    recommendation.componentKind = HardwareComponentKind::battery;
    recommendation.kind = HardwareRecommendationKind::service;
    recommendation.urgency =
        fair ? HardwareRecommendationUrgency::attention : HardwareRecommendationUrgency::serviceRecommended;
    recommendation.title =
        fair ? trText("Batarya kapasitesi sınırlı görünüyor") : trText("Batarya servisi öneriliyor");
    recommendation.evidence =
        trTemplate("macOS batarya sağlık durumunu “\\(condition)” olarak bildiriyor.", {condition});
    recommendation.action =
        trText("Apple veya Apple Yetkili Servis Sağlayıcısı parçayı fiziksel olarak doğruladıktan "
               "sonra orijinal batarya değişimini değerlendir.");
    recommendation.confidence = CulpritConfidence::high;
    recommendation.compatibleParts = exactParts(profile.originalParts, HardwareComponentKind::battery);
    recommendation.supportingEvidence = componentEvidence(profile, HardwareComponentKind::battery);
    return recommendation;
}

std::optional<HardwareRecommendation> memory(const HardwareProfile& profile, const SystemSnapshot& snapshot,
                                             const std::vector<HealthSample>& recent) {
    const MemoryStats& stats = snapshot.memory;
    if (!stats.availability.isAvailable() || stats.totalBytes == 0)
        return std::nullopt;
    size_t count = 0;
    size_t high = 0;
    for (const HealthSample& sample : recent) {
        if (!sample.memoryUsage)
            continue;
        ++count;
        if (*sample.memoryUsage >= kHighMemoryUsage)
            ++high;
    }
    if (count < kMinimumMemorySamples)
        return std::nullopt;
    const double highShare = static_cast<double>(high) / static_cast<double>(count);
    const bool swapPressure = stats.swapUsedBytes >= kSwapPressureBytes;
    const bool compressionPressure =
        static_cast<double>(stats.compressedBytes) / static_cast<double>(stats.totalBytes) >=
        kCompressedPressureShare;
    if (highShare < kPressureShare || !(swapPressure || compressionPressure))
        return std::nullopt;

    HardwareRecommendation recommendation;
    recommendation.componentKind = HardwareComponentKind::memory;
    recommendation.kind = HardwareRecommendationKind::upgrade;
    recommendation.urgency = HardwareRecommendationUrgency::attention;
    recommendation.confidence =
        count >= kHighConfidenceMemorySamples ? CulpritConfidence::high : CulpritConfidence::medium;
    switch (profile.memoryArchitecture.kind) {
    case MemoryArchitecture::Case::unifiedLogicBoard: {
        // The installed size the profile read; the sample's total leaves out what the kernel keeps.
        const uint64_t installed = profile.memoryBytes.value_or(stats.totalBytes);
        const auto next = nextMemoryOption(profile, installed, stats.swapUsedBytes >= kSevereSwapBytes);
        recommendation.id = QStringLiteral("memory-next-device");
        recommendation.title = trText("Bellek yapılandırması iş yükünü sınırlıyor");
        recommendation.evidence =
            trTemplate("Son 7 gündeki \\(count) ölçümün %\\(percent) bölümünde bellek kullanımı %90’ın "
                       "üzerindeydi; sıkıştırma veya takas alanı baskısı da görüldü.",
                       {QString::number(count), QString::number(roundedInteger(highShare * 100.0))});
        const QString size =
            next ? QString::number(*next) + QStringLiteral(" GB") : trText("daha yüksek bellekli");
        recommendation.action =
            trTemplate("Bu modelde bellek ayrı modül olarak değişmez. Kısa vadede eşzamanlı iş "
                       "yükünü azalt; sonraki Mac yapılandırmasında en az \\(size) birleşik "
                       "bellek seç.",
                       {size});
        break;
    }
    case MemoryArchitecture::Case::replaceable:
        recommendation.id = QStringLiteral("memory-upgrade");
        recommendation.title = trText("Bellek yükseltmesi değerlendirilebilir");
        recommendation.evidence =
            trText("Son 7 gündeki ölçümlerde kalıcı bellek ve takas alanı baskısı görüldü.");
        recommendation.action = trTemplate(
            "Yalnızca \\(specification) özelliğiyle eşleşen bellek modülünü ve modelin desteklediği azami "
            "kapasiteyi doğrula.",
            {profile.memoryArchitecture.specification});
        recommendation.compatibleParts = exactParts(profile.originalParts, HardwareComponentKind::memory);
        break;
    case MemoryArchitecture::Case::unknown:
        return std::nullopt;
    }
    return recommendation;
}

std::optional<HardwareRecommendation> storage(const HardwareProfile& profile,
                                              const SystemSnapshot& snapshot) {
    const DiskStats& stats = snapshot.disk;
    if (!stats.availability.isAvailable() || stats.totalBytes == 0)
        return std::nullopt;
    const double free = static_cast<double>(stats.availableBytes) / static_cast<double>(stats.totalBytes);
    if (!(free < kLowFreeSpace))
        return std::nullopt;
    HardwareRecommendation recommendation;
    recommendation.id = QStringLiteral("storage-capacity");
    recommendation.componentKind = HardwareComponentKind::storage;
    recommendation.kind = HardwareRecommendationKind::optimize;
    recommendation.urgency = free < kVeryLowFreeSpace ? HardwareRecommendationUrgency::attention
                                                      : HardwareRecommendationUrgency::information;
    recommendation.title = trText("Depolama boş alanı azalıyor");
    recommendation.evidence = trTemplate("Başlangıç diskinde yaklaşık %\\(percent) boş alan kaldı.",
                                         {QString::number(roundedInteger(free * 100.0))});
    switch (profile.storageArchitecture.kind) {
    case StorageArchitecture::Case::logicBoardIntegrated:
        recommendation.action =
            trText("Düşük boş alan SSD arızası anlamına gelmez. Büyük dosyaları gözden geçir veya "
                   "uyumlu harici SSD kullan; dahili SSD bu modelde ana karta entegredir.");
        break;
    case StorageArchitecture::Case::replaceable:
        recommendation.action =
            trTemplate("Önce dosyaları temizle. Kapasite yetersizliği sürerse \\(specification) "
                       "ile eşleşen daha büyük bir SSD değerlendir.",
                       {profile.storageArchitecture.specification});
        break;
    case StorageArchitecture::Case::unknown:
        recommendation.action =
            trText("Büyük dosyaları gözden geçir. Depolamayı değiştirmeden önce model uyumluluğunu doğrula.");
        break;
    }
    recommendation.confidence = CulpritConfidence::high;
    recommendation.supportingEvidence = componentEvidence(profile, HardwareComponentKind::storage);
    return recommendation;
}

std::optional<HardwareRecommendation> cooling(const HardwareProfile& profile,
                                              const std::vector<HealthSample>& recent) {
    const auto count = std::count_if(recent.begin(), recent.end(), [](const HealthSample& sample) {
        const bool hot =
            sample.thermalLevel == ThermalLevel::serious || sample.thermalLevel == ThermalLevel::critical;
        return hot && sample.cpuUsage && *sample.cpuUsage < kLowCPUUsage;
    });
    if (count < kCoolingEventThreshold)
        return std::nullopt;
    HardwareRecommendation recommendation;
    recommendation.id = QStringLiteral("cooling-inspection");
    recommendation.componentKind = HardwareComponentKind::cooling;
    recommendation.kind = HardwareRecommendationKind::service;
    recommendation.urgency = HardwareRecommendationUrgency::attention;
    recommendation.confidence = CulpritConfidence::medium;
    recommendation.title = trText("Soğutma sistemi kontrol edilmeli");
    recommendation.evidence = trTemplate(
        "Son 7 günde düşük işlemci yükü sırasında \\(count) ciddi veya kritik termal olay kaydedildi.",
        {QString::number(count)});
    recommendation.action =
        trText("Bu bulgu tek başına fan arızası kanıtı değildir. Hava akışını kontrol et, Apple "
               "Tanıları’nı çalıştır ve olay tekrarlanırsa serviste fan/termal modül kontrolü "
               "yaptır.");
    recommendation.compatibleParts = exactParts(profile.originalParts, HardwareComponentKind::cooling);
    return recommendation;
}

} // namespace

std::vector<OriginalPartReference> exactParts(const std::vector<OriginalPartReference>& parts,
                                              HardwareComponentKind kind) {
    std::vector<OriginalPartReference> exact;
    std::copy_if(parts.begin(), parts.end(), std::back_inserter(exact),
                 [kind](const OriginalPartReference& part) {
                     return part.componentKind == kind &&
                            part.applicability != PartApplicability::requiresPhysicalVerification;
                 });
    return exact;
}

std::optional<int> nextMemoryOption(const HardwareProfile& profile, uint64_t currentBytes, bool severe) {
    const long long current = roundedInteger(static_cast<double>(currentBytes) / 1'073'741'824.0);
    std::vector<int> larger;
    std::copy_if(profile.supportedMemoryOptionsGigabytes.begin(),
                 profile.supportedMemoryOptionsGigabytes.end(), std::back_inserter(larger),
                 [current](int option) { return option > current; });
    if (larger.empty())
        return std::nullopt;
    std::sort(larger.begin(), larger.end());
    return severe ? larger.back() : larger.front();
}

std::vector<HardwareRecommendation> recommendations(const HardwareProfile& profile,
                                                    const SystemSnapshot& snapshot,
                                                    const std::vector<HealthSample>& history, Date now) {
    const std::vector<HealthSample> recent = lastWeek(history, now);
    std::vector<HardwareRecommendation> result;
    for (auto candidate : {battery(profile, snapshot), memory(profile, snapshot, recent),
                           storage(profile, snapshot), cooling(profile, recent)}) {
        if (candidate)
            result.push_back(std::move(*candidate));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const HardwareRecommendation& a, const HardwareRecommendation& b) {
                         return declarationIndex(a.urgency) > declarationIndex(b.urgency);
                     });
    return result;
}

} // namespace kestrum::HardwareRecommendationEngine
