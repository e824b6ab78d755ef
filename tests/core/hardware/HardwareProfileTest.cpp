// The profile merge: which components appear, in which order, with which wording, and the catalog's part.

#include "TestSupport.h"
#include "hardware/AppleDiagnosticsCodeInterpreter.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "hardware/HardwareJson.h"
#include "hardware/HardwareRecommendationEngine.h"
#include "hardware/StorageDeviceIdentityParser.h"
#include "localisation/L10n.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

constexpr uint64_t GiB = 1'073'741'824;
const Date kNow = Date::fromUnixSeconds(1'770'000'000);

HardwareReadings readings(const QString& identifier) {
    HardwareReadings r;
    r.system = {identifier, QStringLiteral("Apple M5"), 10, 10, 24 * GiB};
    r.storage.identity = StorageDeviceIdentity{QStringLiteral("Apple"),
                                               QStringLiteral("APPLE SSD AP2048Z"),
                                               QStringLiteral("NVMe"),
                                               2'000'000'000'000,
                                               true,
                                               true};
    r.graphicsName = QStringLiteral("Apple M5 GPU");
    r.battery = BatteryStats::notPresent(MetricAvailability::available());
    r.battery->isPresent = true;
    r.battery->healthCondition = QStringLiteral("Good");
    return r;
}

std::vector<HardwareComponentKind> kinds(const HardwareProfile& profile) {
    std::vector<HardwareComponentKind> out;
    for (const auto& component : profile.components)
        out.push_back(component.kind);
    return out;
}

HardwareProfile make(const HardwareReadings& r, bool english = false) {
    return DefaultHardwareProfileDiscoverer::makeProfile(r, MacHardwareCatalog{}, kNow, english);
}

} // namespace

TEST(HardwareProfile, CatalogedModelGetsItsNameDisplayCoolingAndParts) {
    const HardwareProfile profile = make(readings(QStringLiteral("Mac17,2")));
    using K = HardwareComponentKind;
    EXPECT_TRUE(profile.catalogMatched);
    EXPECT_EQ(profile.modelName, QStringLiteral("MacBook Pro (14 inç, M5)"));
    EXPECT_EQ(profile.introductionYear, 2025);
    EXPECT_EQ(profile.repairManualID, QStringLiteral("XCYLHG"));
    EXPECT_EQ(kinds(profile), (std::vector<K>{K::processor, K::graphics, K::memory, K::storage, K::battery,
                                              K::display, K::cooling}));
    EXPECT_EQ(profile.component(K::processor)->serviceability,
              ComponentServiceability::logicBoardIntegrated());
    EXPECT_EQ(profile.component(K::processor)->manufacturer, QStringLiteral("Apple"));
    EXPECT_EQ(profile.component(K::graphics)->detail, QStringLiteral("M5 paketine entegre grafik birimi"));
    EXPECT_EQ(profile.component(K::memory)->model, QStringLiteral("24 GB birleşik bellek"));
    EXPECT_EQ(profile.component(K::memory)->manufacturer, QStringLiteral("Apple platformu"));
    EXPECT_EQ(profile.component(K::storage)->serviceability, ComponentServiceability::logicBoardIntegrated());
    EXPECT_EQ(profile.component(K::battery)->model, QStringLiteral("Apple dahili lityum polimer batarya"));
    EXPECT_EQ(profile.component(K::battery)->source, HardwareDetectionSource::modelCatalog);
    EXPECT_EQ(profile.component(K::battery)->detail, QStringLiteral("macOS sağlık durumu: Good"));
    EXPECT_EQ(profile.component(K::display)->model, QStringLiteral("14,2 inç Liquid Retina XDR"));
    EXPECT_EQ(profile.component(K::cooling)->serviceability, ComponentServiceability::replaceableByService());
    ASSERT_EQ(profile.originalParts.size(), 11u);
    EXPECT_EQ(profile.originalParts.back().partNumber, QStringLiteral("661-53092"));
    EXPECT_EQ(profile.memoryArchitecture, MemoryArchitecture::unifiedLogicBoard());
    EXPECT_EQ(profile.supportedStorageOptionsGigabytes, (std::vector<int>{512, 1024, 2048, 4096}));
}

TEST(HardwareProfile, UnknownModelKeepsToWhatTheSystemSaid) {
    HardwareReadings r = readings(QStringLiteral("LENOVO ThinkPad X1 Carbon Gen 9"));
    r.system.processorBrand = QStringLiteral("11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz");
    r.system.physicalCores.reset(); // only the logical count known
    r.battery->healthCondition.reset();
    const HardwareProfile profile = make(r);
    using K = HardwareComponentKind;
    EXPECT_FALSE(profile.catalogMatched);
    EXPECT_EQ(profile.modelName, profile.modelIdentifier);
    EXPECT_TRUE(profile.originalParts.empty());
    EXPECT_EQ(kinds(profile), (std::vector<K>{K::processor, K::graphics, K::memory, K::storage, K::battery}));
    EXPECT_EQ(profile.component(K::processor)->detail, QStringLiteral("10 mantıksal çekirdek"));
    EXPECT_FALSE(profile.component(K::processor)->manufacturer);
    EXPECT_EQ(profile.component(K::processor)->serviceability, ComponentServiceability::unknown());
    EXPECT_EQ(profile.component(K::graphics)->detail,
              QStringLiteral("Grafik aygıtı macOS Metal arayüzünden okundu"));
    EXPECT_EQ(profile.component(K::memory)->model, QStringLiteral("24 GB bellek"));
    EXPECT_EQ(profile.component(K::battery)->model, QStringLiteral("Dahili batarya"));
    EXPECT_EQ(profile.component(K::battery)->detail,
              QStringLiteral("Fiziksel batarya üretici kodu macOS tarafından sunulmadı"));
    EXPECT_EQ(profile.memoryArchitecture, MemoryArchitecture::unknown());

    // The same identifier in another case is another machine.
    EXPECT_FALSE(make(readings(QStringLiteral("mac17,2"))).catalogMatched);
}

TEST(HardwareProfile, MissingReadingsRemoveComponentsNeverFill) {
    HardwareReadings r;
    r.storage.unavailableReason = QStringLiteral("Kök dosya sistemi bellekte (tmpfs); başlangıç diski yok.");
    r.battery = BatteryStats::notPresent(MetricAvailability::available()); // a desktop
    const HardwareProfile profile = make(r);
    EXPECT_EQ(profile.modelIdentifier, QStringLiteral("Kullanılamıyor"));
    EXPECT_EQ(profile.modelName, QStringLiteral("Kullanılamıyor"));
    EXPECT_FALSE(profile.catalogMatched);
    EXPECT_TRUE(profile.components.empty());
    EXPECT_EQ(profile.storageUnavailableReason, r.storage.unavailableReason);
    EXPECT_FALSE(profile.memoryBytes);

    // Counts without a brand give no processor; an identity with neither model nor size gives no storage.
    r.system.physicalCores = 4;
    r.storage.identity = StorageDeviceIdentity{};
    r.storage.identity->protocolName = QStringLiteral("SATA");
    EXPECT_TRUE(make(r).components.empty());
    // A size alone is enough, under the generic name.
    r.storage.identity->physicalBytes = 994'662'584'320;
    const HardwareProfile sized = make(r);
    ASSERT_EQ(sized.components.size(), 1u);
    EXPECT_EQ(sized.components[0].model, QStringLiteral("Dahili depolama"));
    EXPECT_EQ(sized.components[0].detail, QStringLiteral("995 GB · SATA"));
    EXPECT_FALSE(sized.storageUnavailableReason);
}

TEST(HardwareProfile, CapacityAndDetailTextsInBothLanguages) {
    struct Case {
        uint64_t bytes;
        const char* turkish;
        const char* english;
    } cases[] = {
        {994'662'584'320, "995 GB", "995 GB"},   {2'000'398'934'016, "2 TB", "2 TB"},
        {1'500'000'000'000, "1,5 TB", "1.5 TB"}, {1'000'204'886'016, "1 TB", "1 TB"},
        {1'960'000'000'000, "2 TB", "2 TB"},     {500'277'790'720, "500 GB", "500 GB"},
        {15'634'268'160, "16 GB", "16 GB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageCapacityText(c.bytes, false),
                  QString::fromUtf8(c.turkish));
        EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageCapacityText(c.bytes, true),
                  QString::fromUtf8(c.english));
    }
    const StorageDeviceIdentity full{
        std::nullopt, QStringLiteral("X"), QStringLiteral("NVMe"), 1'500'000'000'000, true, true};
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageDetail(full, false),
              QStringLiteral("1,5 TB · NVMe · SSD · Dahili"));
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageDetail(full, true),
              QStringLiteral("1.5 TB · NVMe · SSD · Dahili"));
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageDetail({}, false),
              QStringLiteral("Depolama ayrıntıları sunulmadı"));
    const StorageDeviceIdentity spinning{std::nullopt,      std::nullopt, std::nullopt,
                                         4'000'787'030'016, false,        false};
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::storageDetail(spinning, false), QStringLiteral("4 TB"));
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::memorySizeText(17'179'869'184), QStringLiteral("16 GB"));
    EXPECT_EQ(DefaultHardwareProfileDiscoverer::memorySizeText(25'275'392'000), QStringLiteral("24 GB"));

    // Shown in English, the Turkish pieces of the detail are translated one by one.
    test::ScopedLanguage english(true);
    EXPECT_EQ(L10n::localizedFragment(DefaultHardwareProfileDiscoverer::storageDetail(full, true)),
              QStringLiteral("1.5 TB · NVMe · SSD · Internal"));
}

TEST(StorageDeviceIdentityParser, ReadsTheDescription) {
    using namespace StorageDeviceIdentityParser;
    struct Case {
        QVariantMap description;
        StorageDeviceIdentity expected;
    } cases[] = {
        {{{kDeviceModelKey, QStringLiteral("  APPLE SSD AP0512Q  ")},
          {kMediaSizeKey, QVariant::fromValue<qulonglong>(500'277'790'720)}},
         {QStringLiteral("Apple"), QStringLiteral("APPLE SSD AP0512Q"), std::nullopt, 500'277'790'720,
          std::nullopt, true}},
        {{{kDeviceModelKey, QStringLiteral("Samsung SSD 870 EVO 1TB")},
          {kDeviceVendorKey, QStringLiteral(" ")},
          {kMediaSolidStateKey, false}},
         {std::nullopt, QStringLiteral("Samsung SSD 870 EVO 1TB"), std::nullopt, std::nullopt, std::nullopt,
          false}},
        {{{kDeviceModelKey, QStringLiteral("WDC WD40EFRX")},
          {kDeviceVendorKey, QStringLiteral("WD")},
          {kDeviceProtocolKey, QStringLiteral("SATA")},
          {kDeviceInternalKey, true}},
         {QStringLiteral("WD"), QStringLiteral("WDC WD40EFRX"), QStringLiteral("SATA"), std::nullopt, true,
          std::nullopt}},
        // Wrong types count as missing.
        {{{kDeviceModelKey, 42},
          {kMediaSizeKey, QStringLiteral("1000")},
          {kDeviceInternalKey, 1},
          {kMediaSizeKey, -5}},
         {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(identity(c.description), c.expected);
}

TEST(HardwareProfile, JsonKeepsEveryField) {
    HardwareReadings r = readings(QStringLiteral("Mac17,2"));
    r.storageHealth =
        StorageHealth{QStringLiteral("udisks2"), false, 3, 0, std::nullopt, 812.0, 41.0, std::nullopt};
    r.batteryService =
        BatteryServiceInfo{212, 57.0, 51.3, QStringLiteral("Wh"), QStringLiteral("SMP"), std::nullopt};
    const HardwareProfile profile = make(r);
    EXPECT_FALSE(profile.component(HardwareComponentKind::storage)->evidence.empty());
    EXPECT_EQ(hardwareProfileFromJson(hardwareProfileToJson(profile)), profile);
    EXPECT_EQ(hardwareProfileFromJson(hardwareProfileToJson(HardwareProfile::unavailable())),
              HardwareProfile::unavailable());
    const QJsonObject memory =
        hardwareProfileToJson(profile).toObject().value(QStringLiteral("memoryArchitecture")).toObject();
    EXPECT_EQ(memory.value(QStringLiteral("case")).toString(), QStringLiteral("unifiedLogicBoard"));
}

TEST(HardwareProfile, EveryTextShownHasItsEnglish) {
    // Texts built from templates must still match their English patterns once filled in; a drifted key
    // would leave Turkish on an English screen.
    HardwareReadings r = readings(QStringLiteral("Mac17,2"));
    r.storageHealth = StorageHealth{QStringLiteral("udisks2"),
                                    true,
                                    3,
                                    1,
                                    4,
                                    812.0,
                                    41.0,
                                    QStringLiteral("udisks2 zamanında yanıt vermedi.")};
    r.batteryService = BatteryServiceInfo{212, 57.0, 51.3, QStringLiteral("Wh"), std::nullopt, std::nullopt};
    const HardwareProfile profile = make(r);
    QStringList texts{profile.modelName, HardwareProfile::unavailable().modelName};
    for (const auto& component : profile.components) {
        texts << component.model << component.detail;
        for (const QString& line : component.evidence)
            texts << line;
    }
    for (const auto& part : profile.originalParts) {
        texts << part.componentName;
        if (part.note)
            texts << *part.note;
    }
    const HardwareProfile replaceable = [&] {
        HardwareProfile copy = profile;
        copy.memoryArchitecture = MemoryArchitecture::replaceable(QStringLiteral("DDR4 SO-DIMM"));
        copy.storageArchitecture = StorageArchitecture::replaceable(QStringLiteral("M.2 2280"));
        return copy;
    }();
    SystemSnapshot s = SystemSnapshot::empty(QUuid::createUuid(), kNow);
    s.memory = MemoryStats{8 * GiB, 24 * GiB, 0, 5 * GiB, MetricAvailability::available()};
    s.disk = DiskStats{1000, 20, MetricAvailability::available()};
    s.battery = *r.battery;
    s.battery.healthCondition = QStringLiteral("Service Recommended");
    std::vector<HealthSample> history;
    for (int i = 0; i < 80; ++i) {
        HealthSample sample;
        sample.timestamp = kNow.addingSeconds(-60.0 * i);
        sample.memoryUsage = 0.95;
        sample.cpuUsage = 0.1;
        sample.thermalLevel = ThermalLevel::critical;
        history.push_back(sample);
    }
    for (const HardwareProfile* p : {&profile, &replaceable}) {
        for (const auto& recommendation :
             HardwareRecommendationEngine::recommendations(*p, s, history, kNow)) {
            texts << recommendation.title << recommendation.evidence << recommendation.action;
            for (const QString& line : recommendation.supportingEvidence)
                texts << line;
        }
    }
    s.memory.totalBytes = 32 * GiB; // no larger option: "daha yüksek bellekli"
    for (const auto& recommendation :
         HardwareRecommendationEngine::recommendations(profile, s, history, kNow))
        texts << recommendation.action;
    for (const char* code : {"ADP000", "PPT002", "PPT004", "PPT005", "PPT007", "PPT021", "PPT099", "CNW1",
                             "NDD1", "NDT1", "PPF1", "PPM1", "PPN1", "PPP1", "PPR1", "VDH1", "VFD1", "ZZZ"}) {
        const auto result = *AppleDiagnosticsCodeInterpreter::interpret(QString::fromLatin1(code));
        texts << result.title << result.explanation << result.recommendedAction;
    }
    ASSERT_GT(texts.size(), 60);
    test::ScopedLanguage english(true);
    static const QRegularExpression turkishLetters(QStringLiteral("[çğıöşüÇĞİÖŞÜ]"));
    for (const QString& text : texts) {
        const QString shown = L10n::localizedFragment(text);
        EXPECT_FALSE(shown.contains(turkishLetters)) << text.toStdString() << " → " << shown.toStdString();
        EXPECT_FALSE(shown.contains(u"bellek") || shown.contains(u"batarya") ||
                     shown.contains(u"Kullanılamıyor"))
            << shown.toStdString();
    }
}
