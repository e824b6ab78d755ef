// The four recommendations at their thresholds, over hand-built weeks of samples.

#include "hardware/HardwareRecommendationEngine.h"

#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "hardware/HardwareEvidence.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

constexpr uint64_t GiB = 1'073'741'824;
const Date kNow = Date::fromUnixSeconds(1'770'000'000);

HardwareProfile catalogProfile(uint64_t memoryBytes = 16 * GiB) {
    HardwareReadings r;
    r.system.modelIdentifier = QStringLiteral("Mac17,2");
    r.system.memoryBytes = memoryBytes;
    r.storage.identity = StorageDeviceIdentity{
        std::nullopt, QStringLiteral("APPLE SSD"), std::nullopt, 994'662'584'320, true, true};
    return DefaultHardwareProfileDiscoverer::makeProfile(r, MacHardwareCatalog{}, kNow, false);
}

SystemSnapshot snapshot() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid::createUuid(), kNow);
    s.memory = MemoryStats{8 * GiB, 16 * GiB, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1000, 500, MetricAvailability::available()};
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    return s;
}

// `count` samples one minute apart ending now; the first `high` at 95 % memory use, the rest at 50 %.
std::vector<HealthSample> memoryHistory(int count, int high) {
    std::vector<HealthSample> samples;
    for (int i = 0; i < count; ++i) {
        HealthSample sample;
        sample.timestamp = kNow.addingSeconds(-60.0 * (count - i));
        sample.memoryUsage = i < high ? 0.95 : 0.5;
        samples.push_back(sample);
    }
    return samples;
}

HealthSample thermalSample(double secondsAgo, ThermalLevel level, std::optional<double> cpu) {
    HealthSample sample;
    sample.timestamp = kNow.addingSeconds(-secondsAgo);
    sample.thermalLevel = level;
    sample.cpuUsage = cpu;
    return sample;
}

std::optional<HardwareRecommendation> find(const std::vector<HardwareRecommendation>& list, const char* id) {
    for (const auto& r : list) {
        if (r.id == QLatin1String(id))
            return r;
    }
    return std::nullopt;
}

} // namespace

TEST(HardwareRecommendations, BatteryFollowsTheReportedCondition) {
    struct Case {
        std::optional<QString> condition;
        bool present;
        std::optional<HardwareRecommendationUrgency> urgency;
    } cases[] = {
        {QStringLiteral("  Normal "), true, std::nullopt},
        {QStringLiteral("good"), true, std::nullopt},
        {QStringLiteral("   "), true, std::nullopt},
        {std::nullopt, true, std::nullopt},
        {QStringLiteral("Fair"), true, HardwareRecommendationUrgency::attention},
        {QStringLiteral("Service Recommended"), true, HardwareRecommendationUrgency::serviceRecommended},
        {QStringLiteral("Dead"), true, HardwareRecommendationUrgency::serviceRecommended},
        {QStringLiteral("Service Recommended"), false, std::nullopt},
    };
    const HardwareProfile profile = catalogProfile();
    for (const Case& c : cases) {
        SystemSnapshot s = snapshot();
        s.battery.isPresent = c.present;
        s.battery.healthCondition = c.condition;
        const auto battery =
            find(HardwareRecommendationEngine::recommendations(profile, s, {}, kNow), "battery-service");
        ASSERT_EQ(battery.has_value(), c.urgency.has_value())
            << c.condition.value_or(QStringLiteral("-")).toStdString();
        if (!battery)
            continue;
        EXPECT_EQ(battery->urgency, *c.urgency);
        EXPECT_EQ(battery->evidence, QStringLiteral("macOS batarya sağlık durumunu “%1” olarak bildiriyor.")
                                         .arg(c.condition->trimmed()));
        EXPECT_EQ(battery->confidence, CulpritConfidence::high);
        // Both catalog batteries are exact parts.
        ASSERT_EQ(battery->compatibleParts.size(), 2u);
        EXPECT_EQ(battery->compatibleParts[0].partNumber, QStringLiteral("661-55016"));
    }
    SystemSnapshot unavailable = snapshot();
    unavailable.battery = BatteryStats::notPresent(MetricAvailability::unavailable(QStringLiteral("x")));
    unavailable.battery.isPresent = true;
    unavailable.battery.healthCondition = QStringLiteral("Dead");
    EXPECT_TRUE(HardwareRecommendationEngine::recommendations(profile, unavailable, {}, kNow).empty());
}

TEST(HardwareRecommendations, MemoryPressureThresholds) {
    struct Case {
        int count, high;
        uint64_t swap, compressed;
        bool expected;
        const char* why;
    } cases[] = {
        {59, 59, 5 * GiB, 0, false, "59 samples are too few, whatever their values"},
        {100, 30, 600'000'000, 0, true, "30 % high use and 600 MB of swap"},
        {100, 29, 600'000'000, 0, false, "29 % high use is below the share"},
        {100, 30, 536'870'911, 0, false, "swap one byte under 512 MiB"},
        {100, 30, 536'870'912, 0, true, "swap at 512 MiB"},
        {100, 30, 0, (16 * GiB + 4) / 5, true, "compressed a fifth of memory (rounded up to whole bytes)"},
        {100, 30, 0, static_cast<uint64_t>(0.19 * 16 * GiB), false, "compressed under a fifth"},
    };
    const HardwareProfile profile = catalogProfile();
    for (const Case& c : cases) {
        SystemSnapshot s = snapshot();
        s.memory.swapUsedBytes = c.swap;
        s.memory.compressedBytes = c.compressed;
        const auto memory = find(
            HardwareRecommendationEngine::recommendations(profile, s, memoryHistory(c.count, c.high), kNow),
            "memory-next-device");
        EXPECT_EQ(memory.has_value(), c.expected) << c.why;
    }

    // Samples older than seven days, or without a memory value, do not count.
    std::vector<HealthSample> history = memoryHistory(100, 100);
    for (int i = 0; i < 50; ++i)
        history[i].timestamp = kNow.addingSeconds(-604'801);
    SystemSnapshot s = snapshot();
    s.memory.swapUsedBytes = GiB;
    EXPECT_FALSE(
        find(HardwareRecommendationEngine::recommendations(profile, s, history, kNow), "memory-next-device"));

    // The evidence in numbers: 300 samples, 120 high → 40 %; 240 or more samples → high confidence.
    const auto memory =
        find(HardwareRecommendationEngine::recommendations(profile, s, memoryHistory(300, 120), kNow),
             "memory-next-device");
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->evidence,
              QStringLiteral("Son 7 gündeki 300 ölçümün %40 bölümünde bellek kullanımı %90’ın "
                             "üzerindeydi; sıkıştırma veya takas alanı baskısı da görüldü."));
    EXPECT_EQ(memory->confidence, CulpritConfidence::high);
    EXPECT_EQ(memory->kind, HardwareRecommendationKind::upgrade);
    EXPECT_TRUE(memory->compatibleParts.empty());
    const auto medium =
        find(HardwareRecommendationEngine::recommendations(profile, s, memoryHistory(239, 100), kNow),
             "memory-next-device");
    ASSERT_TRUE(medium);
    EXPECT_EQ(medium->confidence, CulpritConfidence::medium);

    // A machine whose memory architecture nobody verified gets no memory advice.
    HardwareProfile unknown = profile;
    unknown.memoryArchitecture = MemoryArchitecture::unknown();
    EXPECT_FALSE(
        find(HardwareRecommendationEngine::recommendations(unknown, s, memoryHistory(300, 300), kNow),
             "memory-next-device"));
}

TEST(HardwareRecommendations, NextMemoryOption) {
    struct Case {
        uint64_t current, swap;
        const char* size;
    } cases[] = {
        {16 * GiB, 5 * GiB, "en az 32 GB birleşik"},
        {16 * GiB, GiB, "en az 24 GB birleşik"},
        {16 * GiB, 4 * GiB, "en az 32 GB birleşik"}, // exactly 4 GiB is severe
        {32 * GiB, 5 * GiB, "en az daha yüksek bellekli birleşik"},
    };
    for (const Case& c : cases) {
        const HardwareProfile profile = catalogProfile(c.current);
        SystemSnapshot s = snapshot();
        s.memory.totalBytes = c.current;
        s.memory.swapUsedBytes = c.swap;
        const auto memory =
            find(HardwareRecommendationEngine::recommendations(profile, s, memoryHistory(100, 50), kNow),
                 "memory-next-device");
        ASSERT_TRUE(memory);
        EXPECT_TRUE(memory->action.contains(QString::fromUtf8(c.size))) << memory->action.toStdString();
    }
    // The kernel keeps part of the memory: 15.4 GiB in the sample is still the 16 GB configuration.
    {
        SystemSnapshot s = snapshot();
        s.memory.totalBytes = static_cast<uint64_t>(15.4 * GiB);
        s.memory.swapUsedBytes = GiB;
        const auto memory = find(HardwareRecommendationEngine::recommendations(catalogProfile(16 * GiB), s,
                                                                               memoryHistory(100, 50), kNow),
                                 "memory-next-device");
        ASSERT_TRUE(memory);
        EXPECT_TRUE(memory->action.contains(QStringLiteral("en az 24 GB birleşik")))
            << memory->action.toStdString();
    }
    HardwareProfile profile = catalogProfile();
    profile.supportedMemoryOptionsGigabytes = {64, 24, 32};
    EXPECT_EQ(HardwareRecommendationEngine::nextMemoryOption(profile, 16 * GiB, false), 24);
    EXPECT_EQ(HardwareRecommendationEngine::nextMemoryOption(profile, 16 * GiB, true), 64);
    EXPECT_EQ(HardwareRecommendationEngine::nextMemoryOption(profile, 64 * GiB, true), std::nullopt);
}

TEST(HardwareRecommendations, StorageFreeSpaceThresholds) {
    struct Case {
        uint64_t available; // of 1000
        std::optional<HardwareRecommendationUrgency> urgency;
        const char* percent;
    } cases[] = {
        {100, std::nullopt, ""},
        {99, HardwareRecommendationUrgency::information, "%10"},
        {50, HardwareRecommendationUrgency::information, "%5"},
        {49, HardwareRecommendationUrgency::attention, "%5"},
        {40, HardwareRecommendationUrgency::attention, "%4"},
        {0, HardwareRecommendationUrgency::attention, "%0"},
    };
    HardwareProfile profile = catalogProfile();
    for (const Case& c : cases) {
        SystemSnapshot s = snapshot();
        s.disk.availableBytes = c.available;
        const auto storage =
            find(HardwareRecommendationEngine::recommendations(profile, s, {}, kNow), "storage-capacity");
        ASSERT_EQ(storage.has_value(), c.urgency.has_value()) << c.available;
        if (!storage)
            continue;
        EXPECT_EQ(storage->urgency, *c.urgency) << c.available;
        EXPECT_EQ(storage->evidence, QStringLiteral("Başlangıç diskinde yaklaşık %1 boş alan kaldı.")
                                         .arg(QString::fromUtf8(c.percent)));
        EXPECT_TRUE(
            storage->action.startsWith(QStringLiteral("Düşük boş alan SSD arızası anlamına gelmez.")));
        EXPECT_TRUE(storage->supportingEvidence.empty()) << "no disk health was read";
    }
    SystemSnapshot empty = snapshot();
    empty.disk = DiskStats{0, 0, MetricAvailability::available()};
    EXPECT_FALSE(
        find(HardwareRecommendationEngine::recommendations(profile, empty, {}, kNow), "storage-capacity"));
    profile.storageArchitecture = StorageArchitecture::replaceable(QStringLiteral("M.2 2280 NVMe"));
    SystemSnapshot full = snapshot();
    full.disk.availableBytes = 10;
    EXPECT_EQ(
        find(HardwareRecommendationEngine::recommendations(profile, full, {}, kNow), "storage-capacity")
            ->action,
        QStringLiteral("Önce dosyaları temizle. Kapasite yetersizliği sürerse M.2 2280 NVMe ile eşleşen daha "
                       "büyük bir SSD değerlendir."));
}

TEST(HardwareRecommendations, CoolingCountsHotSamplesAtLowLoad) {
    const HardwareProfile profile = catalogProfile();
    std::vector<HealthSample> history{
        thermalSample(3600, ThermalLevel::serious, 0.2),
        thermalSample(7200, ThermalLevel::critical, 0.49),
        thermalSample(60, ThermalLevel::serious, 0.5),           // not low load
        thermalSample(120, ThermalLevel::serious, std::nullopt), // load unknown
        thermalSample(180, ThermalLevel::fair, 0.1),             // not hot
        thermalSample(604'801, ThermalLevel::critical, 0.1),     // older than a week
    };
    EXPECT_FALSE(find(HardwareRecommendationEngine::recommendations(profile, snapshot(), history, kNow),
                      "cooling-inspection"));
    history.push_back(thermalSample(604'800, ThermalLevel::serious, 0.0)); // exactly a week: counts
    const auto cooling =
        find(HardwareRecommendationEngine::recommendations(profile, snapshot(), history, kNow),
             "cooling-inspection");
    ASSERT_TRUE(cooling);
    EXPECT_EQ(cooling->evidence,
              QStringLiteral(
                  "Son 7 günde düşük işlemci yükü sırasında 3 ciddi veya kritik termal olay kaydedildi."));
    ASSERT_EQ(cooling->compatibleParts.size(), 1u);
    EXPECT_EQ(cooling->compatibleParts[0].partNumber, QStringLiteral("923-13416"));
}

TEST(HardwareRecommendations, AtMostFourSortedByUrgencyAndNeverClaimingFailure) {
    HardwareProfile profile = catalogProfile();
    SystemSnapshot s = snapshot();
    s.battery.isPresent = true;
    s.battery.healthCondition = QStringLiteral("Fair");
    s.memory.swapUsedBytes = GiB;
    s.disk.availableBytes = 30;
    std::vector<HealthSample> history = memoryHistory(100, 60);
    for (int i = 0; i < 3; ++i)
        history.push_back(thermalSample(100 + i, ThermalLevel::critical, 0.1));
    auto list = HardwareRecommendationEngine::recommendations(profile, s, history, kNow);
    QStringList ids;
    for (const auto& r : list)
        ids << r.id;
    // All four at attention keep their order.
    EXPECT_EQ(ids, (QStringList{"battery-service", "memory-next-device", "storage-capacity",
                                "cooling-inspection"}));

    // A service-recommended battery goes first; an information-level storage note last.
    s.battery.healthCondition = QStringLiteral("Service Recommended");
    s.disk.availableBytes = 80;
    list = HardwareRecommendationEngine::recommendations(profile, s, history, kNow);
    ids.clear();
    for (const auto& r : list)
        ids << r.id;
    EXPECT_EQ(ids, (QStringList{"battery-service", "memory-next-device", "cooling-inspection",
                                "storage-capacity"}));

    for (const auto& r : list) {
        // Parts that need physical verification (display, power) are never offered.
        for (const auto& part : r.compatibleParts)
            EXPECT_NE(part.applicability, PartApplicability::requiresPhysicalVerification)
                << part.id().toStdString();
        for (const QString& text : {r.title, r.evidence, r.action}) {
            for (const char* claim : {"arızalı", "bozuk", "arızalandı"})
                EXPECT_FALSE(text.contains(QString::fromUtf8(claim), Qt::CaseInsensitive))
                    << text.toStdString();
        }
    }
}

TEST(HardwareRecommendations, DriverFactsJoinTheEvidence) {
    HardwareReadings r;
    r.storage.identity =
        StorageDeviceIdentity{std::nullopt, QStringLiteral("Disk"), std::nullopt, 1000, true, true};
    r.storageHealth = StorageHealth{
        QStringLiteral("udisks2"), true, std::nullopt, std::nullopt, 12, 20'000.4, 45.0, std::nullopt};
    r.battery = BatteryStats::notPresent(MetricAvailability::available());
    r.battery->isPresent = true;
    r.batteryService = BatteryServiceInfo{412, 57.0, 45.6, QStringLiteral("Wh"), std::nullopt, std::nullopt};
    const HardwareProfile profile =
        DefaultHardwareProfileDiscoverer::makeProfile(r, MacHardwareCatalog{}, kNow, false);
    SystemSnapshot s = snapshot();
    s.battery.isPresent = true;
    s.battery.healthCondition = QStringLiteral("Service Recommended");
    s.disk.availableBytes = 10;
    const auto list = HardwareRecommendationEngine::recommendations(profile, s, {}, kNow);
    const auto battery = find(list, "battery-service");
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->supportingEvidence,
              (std::vector<QString>{
                  QStringLiteral("Şarj döngüsü sayısı: 412"),
                  QStringLiteral("Tam şarj kapasitesi / tasarım kapasitesi: %80 (45,6 Wh / 57,0 Wh)")}));
    const auto storage = find(list, "storage-capacity");
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage->supportingEvidence,
              (std::vector<QString>{QStringLiteral("Sürücü kendi SMART değerlendirmesinde arıza öngörüyor."),
                                    QStringLiteral("Yeniden atanmış veya bekleyen hatalı sektör: 12"),
                                    QStringLiteral("Çalışma süresi: 20000 saat"),
                                    QStringLiteral("Sürücü sıcaklığı: 45,0 °C")}));

    // What the driver does not say is said so, never guessed.
    EXPECT_EQ(
        HardwareEvidence::batteryLines(BatteryServiceInfo{}),
        (std::vector<QString>{QStringLiteral("Şarj döngüsü sayısı batarya sürücüsü tarafından sunulmuyor."),
                              QStringLiteral("Tasarım kapasitesi batarya sürücüsü tarafından sunulmuyor.")}));
    StorageHealth onlyTemperature;
    onlyTemperature.temperatureCelsius = 38.86;
    onlyTemperature.unavailableReason = QStringLiteral("udisks2 hizmeti bu sistemde çalışmıyor.");
    EXPECT_EQ(HardwareEvidence::storageLines(onlyTemperature),
              (std::vector<QString>{
                  QStringLiteral("Sürücü sıcaklığı: 38,9 °C"),
                  QStringLiteral("SMART verisi okunamadı: udisks2 hizmeti bu sistemde çalışmıyor.")}));
    EXPECT_EQ(HardwareEvidence::storageLines(StorageHealth{}),
              (std::vector<QString>{QStringLiteral("Depolama sağlık verisi okunamadı.")}));
}
