#include "diagnosis/AIDiagnosticCategoryClassifier.h"
#include "diagnosis/AIDiagnosticErrors.h"
#include "diagnosis/AIDiagnosticNarrativeBuilder.h"
#include "diagnosis/AIDiagnosticOutputGuard.h"
#include "diagnosis/AIDiagnosticPromptBuilder.h"
#include "diagnosis/DiagnosticContextBuilder.h"
#include "diagnosis/DiagnosticEvidenceEngine.h"
#include "foundation/KestrumError.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

std::optional<AIDiagnosticServiceError> thrownBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const KestrumError& error) {
        return aiDiagnosticServiceError(error);
    }
    return std::nullopt;
}

HealthInsight insight(HealthInsightKind kind, HealthLevel level, const char* title, const char* signature) {
    HealthInsight value;
    value.kind = kind;
    value.level = level;
    value.title = QString::fromUtf8(title);
    value.evidence = QStringLiteral("kanıt ") + value.title;
    value.recommendation = QStringLiteral("öneri ") + value.title;
    value.signature = QString::fromUtf8(signature);
    return value;
}

HardwareRecommendation recommendation(HardwareComponentKind kind, HardwareRecommendationUrgency urgency,
                                      const char* title, const char* id) {
    HardwareRecommendation value;
    value.id = QString::fromUtf8(id);
    value.componentKind = kind;
    value.urgency = urgency;
    value.title = QString::fromUtf8(title);
    value.evidence = QStringLiteral("donanım kanıtı");
    value.action = QStringLiteral("donanım eylemi");
    value.confidence = CulpritConfidence::medium;
    OriginalPartReference part;
    part.componentKind = kind;
    part.partNumber = QStringLiteral("661-12345");
    value.compatibleParts = {part};
    return value;
}

SanitizedDiagnosticContext liveContext() {
    SanitizedDiagnosticContext context;
    context.hasLiveMeasurement = true;
    context.healthCoverage.evaluatedSignals = {QStringLiteral("Termal durum"),
                                               QStringLiteral("Bellek kullanımı")};
    context.healthConfidence = HealthAssessmentConfidence::medium;
    return context;
}

} // namespace

TEST(AIDiagnosticCategoryClassifier, AcceptsExactlyOneWholeWordLabel) {
    struct Case {
        const char* answer;
        std::optional<DiagnosticCategory> category; // absent: invalidClassification
    };
    const Case cases[] = {
        {" thermal\n", DiagnosticCategory::thermal},
        {"NETWORK", DiagnosticCategory::network},
        {"Label: battery.", DiagnosticCategory::battery},
        {"«PROCESSOR»", DiagnosticCategory::processor},
        {"THERMALS", std::nullopt},
        {"THERMALX", std::nullopt},
        {"XGENERAL", std::nullopt},
        {"THERMAL or BATTERY", std::nullopt},
        {"MEMORY MEMORY", DiagnosticCategory::memory},
        {"", std::nullopt},
        {"termal", std::nullopt},
        {"ÇTHERMAL", std::nullopt},
        {"THERMAL_1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        std::optional<DiagnosticCategory> found;
        const auto error =
            thrownBy([&] { found = AIDiagnosticCategoryClassifier::category(QString::fromUtf8(c.answer)); });
        if (c.category) {
            EXPECT_FALSE(error);
            EXPECT_EQ(found, c.category);
        } else {
            EXPECT_EQ(error, AIDiagnosticServiceError::invalidClassification);
        }
    }
}

TEST(AIDiagnosticOutputGuard, RefusesCertaintyAndReplacesPartNumbers) {
    struct Case {
        const char* text;
        std::optional<const char*> result; // absent: the error below
        AIDiagnosticServiceError error = AIDiagnosticServiceError::unsupportedCertainty;
    };
    const Case cases[] = {
        {"  \n\t ", std::nullopt, AIDiagnosticServiceError::emptyResponse},
        {"Donanım arızası yoktur.", std::nullopt},
        {"DONANIM ARIZASI YOKTUR", std::nullopt},
        {"Cihazın genel durumu iyi.", std::nullopt},
        {"cihaz genel durumu normal", std::nullopt},
        {"Cihazin genel durumunun normal olduğu", std::nullopt},
        {"Cihaz arızalı değildir.", std::nullopt},
        {"arıza olmadiğına dair kanıt var", std::nullopt},
        {"CİHAZIN GENEL DURUMU İYİ", std::nullopt},
        {"Arızalı olmadığına dair kanıt", std::nullopt},
        {"Kesinlikle arızasız.", std::nullopt},
        {"kesinlikle sağlıklı", std::nullopt},
        {"Parça 661-12345 uygun.", "Parça [doğrulanmış parça referansı] uygun."},
        {"Parça 6611-12345 uygun.", "Parça 6611-12345 uygun."},
        {"A661-12345 ve 661-123456", "A661-12345 ve 661-123456"},
        {"(661-12345), 820-00001.", "([doğrulanmış parça referansı]), [doğrulanmış parça referansı]."},
        {"  Arıza olmadığı garanti değildir. ", "Arıza olmadığı garanti değildir."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString result;
        const auto error =
            thrownBy([&] { result = AIDiagnosticOutputGuard::sanitize(QString::fromUtf8(c.text)); });
        if (c.result) {
            EXPECT_FALSE(error);
            EXPECT_EQ(result, QString::fromUtf8(*c.result));
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(AIDiagnosticOutputGuard, CutsAtFourThousandCharactersWithoutSplittingAPair) {
    EXPECT_EQ(AIDiagnosticOutputGuard::sanitize(QString(5000, u'a')).size(), 4000);
    const QString emoji = QStringLiteral("😀");
    const QString text = QString(3999, u'a') + emoji + QStringLiteral("tail");
    const QString cut = AIDiagnosticOutputGuard::sanitize(text);
    EXPECT_EQ(cut, QString(3999, u'a'));
}

TEST(DiagnosticContextBuilder, SanitisesTheSymptom) {
    struct Case {
        const char* name;
        QString symptom;
        std::optional<QString> expected;
    };
    const QString hebrew = QStringLiteral("המחשב מתחמם מאוד");
    const QString family = QStringLiteral("👨‍👩‍👧 fan 🔥");
    const Case cases[] = {
        {"only controls and space", QStringLiteral("\u0001\u0002 \n\r\t\u007f\u0085 "), std::nullopt},
        {"empty", QString(), std::nullopt},
        {"tab and line feed inside stay", QStringLiteral(" fan\tses\r\nçok\u0007 "),
         QStringLiteral("fan\tses\nçok")},
        {"right-to-left text stays", hebrew, hebrew},
        {"direction overrides go", QStringLiteral("a\u202Eevil\u202C b\u2067c\u2069"),
         QStringLiteral("aevil bc")},
        {"emoji sequences stay whole", family, family},
        {"a lone surrogate goes", QStringLiteral("fan") + QChar(0xD800) + QStringLiteral("x"),
         QStringLiteral("fanx")},
        {"600 characters keep the first 500", QString(600, u'x'), QString(500, u'x')},
        {"500 emoji of two units", QStringLiteral("🔥").repeated(600), QStringLiteral("🔥").repeated(500)},
        {"letters with accents count once", QStringLiteral("e\u0301").repeated(600),
         QStringLiteral("e\u0301").repeated(500)},
        {"one megabyte", QString(1 << 20, u'y'), QString(500, u'y')},
        {"leading megabyte of spaces", QString(1 << 20, u' ') + QStringLiteral("ısınıyor"),
         QStringLiteral("ısınıyor")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DiagnosticContextBuilder::sanitizedSymptom(c.symptom), c.expected);
    }
}

TEST(DiagnosticContextBuilder, CountsTheLastSevenDaysOfSamples) {
    SystemSnapshot snapshot = SystemSnapshot::empty(QUuid::createUuid(), Date::fromReference(1'000'000));
    snapshot.cpu.availability = MetricAvailability::available();
    snapshot.cpu.totalUsage = 0.25;
    const auto sample = [](double time, std::optional<double> cpu, std::optional<double> memory,
                           ThermalLevel level) {
        HealthSample s;
        s.timestamp = Date::fromReference(time);
        s.cpuUsage = cpu;
        s.memoryUsage = memory;
        s.thermalLevel = level;
        return s;
    };
    const double start = 1'000'000 - DiagnosticContextBuilder::kHistorySeconds;
    const std::vector<HealthSample> history{
        sample(start - 1, 1.0, 1.0, ThermalLevel::critical),                 // before the window
        sample(start, 0.9, std::nullopt, ThermalLevel::serious),             // first second counts
        sample(500'000 + start / 2, std::nullopt, 0.95, ThermalLevel::fair), // no CPU value is never high
        sample(999'999, 0.899, 0.9, ThermalLevel::critical),
        sample(1'000'000, 0.1, 0.1, ThermalLevel::nominal),  // last second counts
        sample(1'000'001, 1.0, 1.0, ThermalLevel::critical), // after the snapshot
    };
    HardwareProfile profile = HardwareProfile::unavailable();
    const SanitizedDiagnosticContext context =
        DiagnosticContextBuilder::makeContext(profile, snapshot, history, QStringLiteral("\u0001"));
    EXPECT_TRUE(context.hasLiveMeasurement);
    EXPECT_EQ(context.history, (DiagnosticHistorySummary{4, 1, 2, 2}));
    EXPECT_EQ(context.cpuUsageFraction, 0.25);
    EXPECT_FALSE(context.memoryUsageFraction) << "a group that was not read is absent, not zero";
    EXPECT_FALSE(context.symptom);

    const SanitizedDiagnosticContext none =
        DiagnosticContextBuilder::makeContext(profile, std::nullopt, history, {});
    EXPECT_FALSE(none.hasLiveMeasurement);
    EXPECT_EQ(none.history.sampleCount, 0);
}

TEST(DiagnosticEvidenceEngine, OrdersFindingsBySeverityThenTitle) {
    const std::vector<HardwareRecommendation> recommendations{
        recommendation(HardwareComponentKind::memory, HardwareRecommendationUrgency::information, "Bellek",
                       "memory"),
        recommendation(HardwareComponentKind::battery, HardwareRecommendationUrgency::serviceRecommended,
                       "Batarya", "battery"),
        recommendation(HardwareComponentKind::cooling, HardwareRecommendationUrgency::attention, "Soğutma",
                       "cooling"),
        recommendation(HardwareComponentKind::display, HardwareRecommendationUrgency::attention, "Ekran",
                       "display"),
        recommendation(HardwareComponentKind::ports, HardwareRecommendationUrgency::information, "Bağlantı",
                       "ports"),
    };
    const std::vector<HealthInsight> insights{
        insight(HealthInsightKind::cpu, HealthLevel::attention, "İşlemci yükü", "cpu-high"),
        insight(HealthInsightKind::wifi, HealthLevel::critical, "Wi-Fi zayıf", "wifi-weak"),
        insight(HealthInsightKind::disk, HealthLevel::critical, "Disk dolu", "disk-full"),
    };
    const auto findings = DiagnosticEvidenceEngine::findings(recommendations, insights, liveContext());
    struct Expected {
        const char* id;
        DiagnosticCategory category;
        DiagnosticSeverity severity;
    };
    const Expected expected[] = {
        {"health-disk-full", DiagnosticCategory::storage, DiagnosticSeverity::urgent},
        {"health-wifi-weak", DiagnosticCategory::network, DiagnosticSeverity::urgent},
        {"hardware-battery", DiagnosticCategory::battery, DiagnosticSeverity::service},
        {"hardware-display", DiagnosticCategory::graphics, DiagnosticSeverity::attention},
        {"hardware-cooling", DiagnosticCategory::thermal, DiagnosticSeverity::attention},
        {"health-cpu-high", DiagnosticCategory::processor,
         DiagnosticSeverity::attention}, // "İ" sorts after "S"
        {"hardware-ports", DiagnosticCategory::general, DiagnosticSeverity::information},
        {"hardware-memory", DiagnosticCategory::memory, DiagnosticSeverity::information},
    };
    ASSERT_EQ(findings.size(), std::size(expected));
    for (size_t i = 0; i < findings.size(); ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(findings[i].id, QString::fromUtf8(expected[i].id));
        EXPECT_EQ(findings[i].category, expected[i].category);
        EXPECT_EQ(findings[i].severity, expected[i].severity);
    }
    EXPECT_EQ(findings[2].verifiedParts.size(), 1u);
    EXPECT_EQ(findings[2].confidence, CulpritConfidence::medium);
    EXPECT_EQ(findings[0].confidence, CulpritConfidence::high);
    EXPECT_EQ(findings[0].recommendedActions, std::vector<QString>{QStringLiteral("öneri Disk dolu")});
    EXPECT_TRUE(findings[0].verifiedParts.empty());
}

TEST(DiagnosticEvidenceEngine, SaysNoFaultOrNotReadyWhenThereIsNothing) {
    SanitizedDiagnosticContext context = liveContext();
    auto findings = DiagnosticEvidenceEngine::findings({}, {}, context);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].id, u"no-confirmed-fault");
    EXPECT_EQ(
        findings[0].evidence,
        QStringLiteral("Değerlendirilebilen sinyaller (Termal durum, Bellek kullanımı) servis gerektiren bir "
                       "bulgu üretmedi."));
    context.healthCoverage.unavailableSignals = {QStringLiteral("Batarya sağlığı")};
    findings = DiagnosticEvidenceEngine::findings({}, {}, context);
    EXPECT_TRUE(findings[0].evidence.endsWith(
        QStringLiteral(" Ölçülemeyen ve bu sonuca dahil edilmeyen sinyaller: Batarya sağlığı.")));
    EXPECT_EQ(DiagnosticEvidenceEngine::summary(findings),
              u"Okunabilen sağlık verilerinde doğrulanmış bir donanım arızası sinyali bulunmadı.");

    context.hasLiveMeasurement = false;
    findings = DiagnosticEvidenceEngine::findings({}, {}, context);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].id, u"measurement-not-ready");
    EXPECT_EQ(findings[0].severity, DiagnosticSeverity::information);
    EXPECT_EQ(DiagnosticEvidenceEngine::summary(findings),
              u"Canlı ölçüm henüz hazır olmadığı için donanım sağlık sonucu çıkarılmadı.");
}

TEST(DiagnosticEvidenceEngine, SummaryForms) {
    const auto finding = [](DiagnosticSeverity severity) {
        DiagnosticFinding f;
        f.severity = severity;
        return f;
    };
    using S = DiagnosticSeverity;
    struct Case {
        std::vector<DiagnosticSeverity> severities;
        const char* summary;
    };
    const Case cases[] = {
        {{S::information, S::information},
         "Okunabilen sağlık verilerinde doğrulanmış bir donanım arızası sinyali bulunmadı."},
        {{S::urgent, S::service, S::service, S::attention, S::information},
         "1 öncelikli kontrol, 2 servis önerisi ve 1 dikkat gerektiren sinyal var. Öncelikli kontrol tek "
         "başına "
         "arıza teşhisi değildir."},
        {{S::urgent},
         "1 öncelikli kontrol, 0 servis önerisi ve 0 dikkat gerektiren sinyal var. Öncelikli kontrol "
         "tek başına arıza teşhisi değildir."},
        {{S::service, S::attention, S::attention},
         "1 servis öncelikli bulgu ve 2 dikkat gerektiren sinyal belirlendi."},
        {{S::service}, "1 servis öncelikli bulgu ve 0 dikkat gerektiren sinyal belirlendi."},
        {{S::attention, S::attention, S::attention, S::information},
         "3 dikkat gerektiren sinyal belirlendi; mevcut kanıt kesin donanım arızası göstermiyor."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.summary);
        std::vector<DiagnosticFinding> findings;
        for (DiagnosticSeverity severity : c.severities)
            findings.push_back(finding(severity));
        EXPECT_EQ(DiagnosticEvidenceEngine::summary(findings), QString::fromUtf8(c.summary));
    }
}

TEST(AIDiagnosticPromptBuilder, SymptomPromptCarriesNoDeviceData) {
    SanitizedDiagnosticContext context = liveContext();
    context.modelName = QStringLiteral("ThinkPad X1");
    context.modelIdentifier = QStringLiteral("20XW");
    context.processorName = QStringLiteral("Intel Core i7");
    context.symptom = DiagnosticContextBuilder::sanitizedSymptom(QString(600, u's'));
    DiagnosticFinding finding;
    finding.title = QStringLiteral("Bulgu başlığı");
    const QString prompt = AIDiagnosticPromptBuilder::prompt(context, {finding}, false);
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("KULLANICI BELİRTİSİ\n") + QString(500, u's') +
                                  QStringLiteral("\n\n")));
    EXPECT_FALSE(prompt.contains(QString(501, u's')));
    for (const QString& hidden : {QStringLiteral("ThinkPad"), QStringLiteral("20XW"), QStringLiteral("Intel"),
                                  QStringLiteral("Bulgu başlığı"), QStringLiteral("CİHAZ BAĞLAMI")})
        EXPECT_FALSE(prompt.contains(hidden)) << hidden.toStdString();
    EXPECT_TRUE(prompt.endsWith(
        QStringLiteral("GENERAL, PROCESSOR, GRAPHICS, MEMORY, STORAGE, BATTERY, THERMAL, NETWORK.")));

    context.symptom.reset();
    context.memoryUsageFraction = 0.5;
    const QString device = AIDiagnosticPromptBuilder::prompt(context, {finding}, false);
    EXPECT_TRUE(
        device.startsWith(QStringLiteral("CİHAZ BAĞLAMI\nCanlı ölçüm hazır: evet\nÖlçüm kapsamı: 2/2\n"
                                         "Sonuç güveni: Orta güven\nÖlçülemeyen sinyaller: yok\n"
                                         "Model: ThinkPad X1 [20XW]\nİşlemci: Intel Core i7\n"
                                         "Grafik: sunulmadı\nBellek: sunulmadı\n"
                                         "Anlık bellek kullanımı: %50\n")));
    EXPECT_TRUE(device.contains(QStringLiteral("\nKullanıcının belirttiği sorun: belirtilmedi\n\nDOĞRULANMIŞ "
                                               "BULGULAR\n- Başlık: Bulgu başlığı\n  Kategori: Genel\n")));
}

TEST(AIDiagnosticNarrativeBuilder, UsesOnlyFindingsOfTheChosenCategory) {
    SanitizedDiagnosticContext context = liveContext();
    context.symptom = QStringLiteral("fan çok ses yapıyor");
    const std::vector<DiagnosticFinding> findings = DiagnosticEvidenceEngine::findings(
        {},
        {insight(HealthInsightKind::disk, HealthLevel::critical, "Disk dolu", "disk-full"),
         insight(HealthInsightKind::thermal, HealthLevel::attention, "Isı yüksek", "thermal-high")},
        context);
    const QString thermal =
        AIDiagnosticNarrativeBuilder::narrative(DiagnosticCategory::thermal, context, findings, false);
    EXPECT_TRUE(
        thermal.startsWith(QStringLiteral("AI belirti sınıflandırması: Girilen belirti Termal kategorisiyle "
                                          "eşleştirildi. Bu sınıflandırma arıza teşhisi değildir. \n\n"
                                          "Doğrulanmış kanıt:\n- Isı yüksek")));
    EXPECT_FALSE(thermal.contains(QStringLiteral("Disk dolu")));
    EXPECT_TRUE(
        thermal.endsWith(QStringLiteral("kanıt bulunmaması cihazın arızasız olduğunu garanti etmez.")));
    EXPECT_NO_THROW(AIDiagnosticOutputGuard::sanitize(thermal));

    const QString battery =
        AIDiagnosticNarrativeBuilder::narrative(DiagnosticCategory::battery, context, findings, false);
    EXPECT_TRUE(
        battery.contains(QStringLiteral("Doğrulanmış kanıt:\nBu kategoriyle eşleşen doğrulanmış bir ölçüm "
                                        "bulgusu yok. Diğer kategorilerdeki bulgular bu belirti için kanıt "
                                        "sayılmadı.\n\nYorum sınırı:\nBelirti kategorisi belirlendi ancak")));
    EXPECT_FALSE(battery.contains(QStringLiteral("Disk dolu")));
    EXPECT_FALSE(battery.contains(QStringLiteral("Isı yüksek")));

    context.symptom.reset();
    EXPECT_TRUE(AIDiagnosticNarrativeBuilder::narrative(DiagnosticCategory::storage, context, findings, false)
                    .startsWith(QStringLiteral(
                        "AI belirti sınıflandırması: Kullanıcı belirtisi girilmedi. Bu "
                        "sınıflandırma arıza teşhisi değildir. \n\nDoğrulanmış kanıt:\n- Disk dolu")));
}
