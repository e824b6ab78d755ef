#include "FullScanInputs.h"
#include "TestSupport.h"
#include "fullscan/FullSystemScanReminderSchedule.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

using Kind = FullSystemScanComponentKind;
using State = FullSystemScanComponentState;

FullSystemScanComponentResult component(Kind kind, State state, std::optional<int> score) {
    return {kind, state, score, QStringLiteral("a"), QStringLiteral("b")};
}

FullSystemScanComponentResult componentOf(const FullSystemScanEvidence& e, Kind kind) {
    const auto all = FullSystemScanReportBuilder{}.makeComponents(e);
    return all.at(static_cast<size_t>(declarationIndex(kind)));
}

std::vector<QString> findingIDs(const std::vector<FullSystemScanFinding>& findings) {
    std::vector<QString> ids;
    for (const auto& f : findings)
        ids.push_back(f.id);
    return ids;
}

} // namespace

TEST(FullSystemScanScore, WeighsOnlyCompletedScoredComponents) {
    struct Case {
        const char* name;
        std::vector<FullSystemScanComponentResult> components;
        std::optional<int> expected;
    };
    const std::vector<Case> cases = {
        {"nothing scored", {component(Kind::hardware, State::completed, std::nullopt)}, std::nullopt},
        {"no components", {}, std::nullopt},
        {"unweighted kinds carry nothing",
         {component(Kind::internetSpeed, State::completed, 10),
          component(Kind::aiAnalysis, State::completed, 10),
          component(Kind::quickHealth, State::completed, 80)},
         80},
        // (100×15 + 50×30) / 45 = 66.67
        {"quick and deep",
         {component(Kind::quickHealth, State::completed, 100),
          component(Kind::deepHealth, State::completed, 50)},
         67},
        {"a failed or unavailable score is ignored",
         {component(Kind::quickHealth, State::completed, 100), component(Kind::deepHealth, State::failed, 0),
          component(Kind::battery, State::unavailable, 0)},
         100},
        // (90×15 + 85×15) / 30 = 87.5 → 88, half away from zero
        {"half rounds up",
         {component(Kind::systemHealth, State::completed, 90),
          component(Kind::battery, State::completed, 85)},
         88},
        // Every weighted kind but the network one: (15+15+30+15+10+5+5)=95 of weights… all 100 → 100
        {"all weighted kinds",
         {component(Kind::systemHealth, State::completed, 100),
          component(Kind::quickHealth, State::completed, 90),
          component(Kind::deepHealth, State::completed, 80), component(Kind::battery, State::completed, 70),
          component(Kind::thermal, State::completed, 100), component(Kind::storage, State::completed, 40),
          component(Kind::wifi, State::completed, 25), component(Kind::networkQuality, State::completed, 35)},
         // (1500 + 1350 + 2400 + 1050 + 1000 + 200 + 125 + 175) / 100 = 78
         78},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FullSystemScanReportBuilder::weightedScore(c.components), c.expected) << c.name;
}

TEST(FullSystemScanScore, WithoutNetworkTestsTheScoreRestsOnTheRemainingWeights) {
    FullSystemScanEvidence e = healthyEvidence();
    e.networkQuality = {};
    e.internetSpeed = {};
    const FullSystemScanResult r = FullSystemScanReportBuilder{}.makeResult(e, QUuid());
    EXPECT_EQ(r.component(Kind::networkQuality)->state, State::skipped);
    EXPECT_EQ(r.component(Kind::internetSpeed)->state, State::skipped);
    EXPECT_EQ(r.component(Kind::internetSpeed)->simpleExplanation, QStringLiteral("Bu test çalıştırılmadı."));
    int weights = 0;
    for (const auto& c : r.components) {
        if (c.state == State::completed && c.score)
            weights += FullSystemScanReportBuilder::weight(c.kind);
    }
    // The weights table without the network quality's 5.
    EXPECT_EQ(weights, 95);
    // system 100×15, quick 90×15, deep 88×30, battery 100×15, thermal 100×10, storage 100×5, Wi-Fi 100×5
    EXPECT_EQ(r.overallScore, 95); // 8990 / 95 = 94.63
    EXPECT_TRUE(r.isPartial());
}

TEST(FullSystemScanComponents, StorageWiFiBatteryAndThermalThresholds) {
    struct Case {
        const char* name;
        std::function<void(SystemSnapshot&)> change;
        Kind kind;
        State state;
        std::optional<int> score;
    };
    const auto disk = [](uint64_t available) {
        return [available](SystemSnapshot& s) {
            s.disk = DiskStats{1000, available, MetricAvailability::available()};
        };
    };
    const auto rssi = [](int value) { return [value](SystemSnapshot& s) { s.network.wifiRSSI = value; }; };
    const auto condition = [](std::optional<QString> text) {
        return [text](SystemSnapshot& s) { s.battery.healthCondition = text; };
    };
    const auto thermal = [](ThermalLevel level) { return [level](SystemSnapshot& s) { s.thermal = level; }; };
    const std::vector<Case> cases = {
        {"free 20 %", disk(200), Kind::storage, State::completed, 100},
        {"free 19.9 %", disk(199), Kind::storage, State::completed, 85},
        {"free 15 %", disk(150), Kind::storage, State::completed, 85},
        {"free 14.9 %", disk(149), Kind::storage, State::completed, 65},
        {"free 10 %", disk(100), Kind::storage, State::completed, 65},
        {"free 5 %", disk(50), Kind::storage, State::completed, 40},
        {"free 4.9 %", disk(49), Kind::storage, State::completed, 15},
        {"disk unreadable", [](SystemSnapshot& s) { s.disk = DiskStats::unreadable(); }, Kind::storage,
         State::unavailable, std::nullopt},
        {"-55 dBm", rssi(-55), Kind::wifi, State::completed, 100},
        {"-56 dBm", rssi(-56), Kind::wifi, State::completed, 85},
        {"-67 dBm", rssi(-67), Kind::wifi, State::completed, 85},
        {"-68 dBm", rssi(-68), Kind::wifi, State::completed, 65},
        {"-75 dBm", rssi(-75), Kind::wifi, State::completed, 65},
        {"-76 dBm", rssi(-76), Kind::wifi, State::completed, 40},
        {"-82 dBm", rssi(-82), Kind::wifi, State::completed, 40},
        {"-83 dBm", rssi(-83), Kind::wifi, State::completed, 25},
        {"ethernet", [](SystemSnapshot& s) { s.network.interfaceKind = NetworkInterfaceKind::ethernet; },
         Kind::wifi, State::completed, std::nullopt},
        {"offline", [](SystemSnapshot& s) { s.network = NetworkStats::disconnected(); }, Kind::wifi,
         State::unavailable, std::nullopt},
        {"battery Good", condition(QStringLiteral("Good")), Kind::battery, State::completed, 100},
        {"battery normal", condition(QStringLiteral("normal")), Kind::battery, State::completed, 100},
        {"battery Fair", condition(QStringLiteral("Fair")), Kind::battery, State::completed, 70},
        {"battery other", condition(QStringLiteral("Service Recommended")), Kind::battery, State::completed,
         35},
        {"battery no condition", condition(std::nullopt), Kind::battery, State::completed, std::nullopt},
        {"no battery",
         [](SystemSnapshot& s) { s.battery = BatteryStats::notPresent(MetricAvailability::available()); },
         Kind::battery, State::unavailable, std::nullopt},
        {"nominal", thermal(ThermalLevel::nominal), Kind::thermal, State::completed, 100},
        {"fair", thermal(ThermalLevel::fair), Kind::thermal, State::completed, 70},
        {"serious", thermal(ThermalLevel::serious), Kind::thermal, State::completed, 30},
        {"critical", thermal(ThermalLevel::critical), Kind::thermal, State::completed, 0},
        {"thermal unreadable", thermal(ThermalLevel::unavailable), Kind::thermal, State::unavailable,
         std::nullopt},
    };
    for (const Case& c : cases) {
        FullSystemScanEvidence e = healthyEvidence();
        c.change(*e.snapshot);
        const FullSystemScanComponentResult r = componentOf(e, c.kind);
        EXPECT_EQ(r.state, c.state) << c.name;
        EXPECT_EQ(r.score, c.score) << c.name;
        if (c.state == State::unavailable) {
            EXPECT_EQ(r.technicalEvidence, QStringLiteral("Bu bileşen genel puana katılmadı.")) << c.name;
        }
    }
    FullSystemScanEvidence wired = healthyEvidence();
    wired.snapshot->network.interfaceKind = NetworkInterfaceKind::ethernet;
    const auto wifi = componentOf(wired, Kind::wifi);
    EXPECT_TRUE(wifi.simpleExplanation.endsWith(QStringLiteral("Ethernet üzerinden kurulu.")));
    EXPECT_EQ(wifi.technicalEvidence, QStringLiteral("Wi-Fi radyo puanı uygulanmadı."));
}

TEST(FullSystemScanComponents, StepOutcomesFollowTheSharedRules) {
    FullSystemScanEvidence e = healthyEvidence();
    e.quickHealth = FullSystemScanStep<HealthTestResult>::failed(QStringLiteral("İşlemci testi durdu."));
    e.deepHealth = {};
    e.networkQuality = FullSystemScanStep<NetworkQualityResult>::skipped(
        QStringLiteral("Etkin bir ağ bağlantısı olmadığı için ağ kalite testi atlandı."));
    e.hardware = {};
    e.assessment->level = HealthLevel::unavailable;
    const auto components = FullSystemScanReportBuilder{}.makeComponents(e);
    ASSERT_EQ(components.size(), 11u);
    for (size_t i = 0; i < components.size(); ++i)
        EXPECT_EQ(declarationIndex(components[i].kind), static_cast<int>(i)) << "kinds in their order";
    const auto& quick = components[2];
    EXPECT_EQ(quick.state, State::failed);
    EXPECT_EQ(quick.technicalEvidence, QStringLiteral("İşlemci testi durdu."));
    EXPECT_FALSE(quick.score);
    const auto& deep = components[3];
    EXPECT_EQ(deep.state, State::skipped);
    EXPECT_EQ(deep.technicalEvidence, QStringLiteral("Sonuç üretilemedi ve bileşen genel puana katılmadı."));
    EXPECT_EQ(components[8].state, State::skipped);
    EXPECT_EQ(components[8].technicalEvidence,
              QStringLiteral("Etkin bir ağ bağlantısı olmadığı için ağ kalite testi atlandı."));
    EXPECT_EQ(components[0].state, State::unavailable);
    EXPECT_EQ(components[0].simpleExplanation, QStringLiteral("Donanım profili okunamadı."));
    EXPECT_EQ(components[1].state, State::unavailable);
    EXPECT_EQ(components[10].simpleExplanation,
              QStringLiteral("AI kullanılamadı; rapor yerel kanıt kurallarıyla tamamlandı."));
}

TEST(FullSystemScanConfidence, NeedsNineCompletedAndTwoFullyScoredHighConfidenceTests) {
    struct Case {
        const char* name;
        std::function<void(FullSystemScanEvidence&)> change;
        HealthTestConfidence expected;
    };
    const std::vector<Case> cases = {
        {"everything", [](FullSystemScanEvidence&) {}, HealthTestConfidence::high},
        {"without network: nine completed",
         [](FullSystemScanEvidence& e) {
             e.networkQuality = {};
             e.internetSpeed = {};
         },
         HealthTestConfidence::high},
        {"deep of medium confidence",
         [](FullSystemScanEvidence& e) { e.deepHealth.result->confidence = HealthTestConfidence::medium; },
         HealthTestConfidence::medium},
        {"a quick component unscored",
         [](FullSystemScanEvidence& e) { e.quickHealth.result->components[0].score.reset(); },
         HealthTestConfidence::medium},
        {"no deep result", [](FullSystemScanEvidence& e) { e.deepHealth = {}; },
         HealthTestConfidence::medium},
        {"eight completed",
         [](FullSystemScanEvidence& e) {
             e.networkQuality = {};
             e.internetSpeed = {};
             e.snapshot->thermal = ThermalLevel::unavailable;
         },
         HealthTestConfidence::medium},
        {"four completed",
         [](FullSystemScanEvidence& e) {
             e.snapshot = std::nullopt;
             e.networkQuality = {};
             e.internetSpeed = {};
             e.deepHealth = {};
         },
         HealthTestConfidence::low},
    };
    for (const Case& c : cases) {
        FullSystemScanEvidence e = healthyEvidence();
        c.change(e);
        EXPECT_EQ(FullSystemScanReportBuilder{}.makeResult(e, QUuid()).confidence, c.expected) << c.name;
    }
}

TEST(FullSystemScanFindings, SourcesOrderAndTheNoIssueFinding) {
    struct Case {
        const char* name;
        std::function<void(FullSystemScanEvidence&)> change;
        std::vector<QString> ids;
    };
    const std::vector<Case> cases = {
        {"healthy", [](FullSystemScanEvidence&) {}, {QStringLiteral("no-confirmed-issue")}},
        {"weak Wi-Fi",
         [](FullSystemScanEvidence& e) { e.snapshot->network.wifiRSSI = -76; },
         {QStringLiteral("wifi-weak-signal")}},
        {"-75 dBm is not weak",
         [](FullSystemScanEvidence& e) { e.snapshot->network.wifiRSSI = -75; },
         {QStringLiteral("no-confirmed-issue")}},
        {"poor network",
         [](FullSystemScanEvidence& e) { e.networkQuality.result->quality = NetworkQualityLevel::poor; },
         {QStringLiteral("network-quality-weak")}},
        {"good network",
         [](FullSystemScanEvidence& e) { e.networkQuality.result->quality = NetworkQualityLevel::good; },
         {QStringLiteral("no-confirmed-issue")}},
        {"failed quick test",
         [](FullSystemScanEvidence& e) {
             e.quickHealth = FullSystemScanStep<HealthTestResult>::failed(QStringLiteral("x"));
         },
         {QStringLiteral("component-failed-quickHealth")}},
        {"critical assessment before a weak signal",
         [](FullSystemScanEvidence& e) {
             e.snapshot->network.wifiRSSI = -90;
             e.assessment->level = HealthLevel::critical;
             e.assessment->title = QStringLiteral("Disk dolmak üzere");
         },
         {QStringLiteral("current-health-assessment"), QStringLiteral("wifi-weak-signal")}},
        {"deep findings above normal are carried",
         [](FullSystemScanEvidence& e) {
             e.deepHealth.result->findings = {{DeepHealthTestFindingKind::baseline,
                                               HealthLevel::normal,
                                               QStringLiteral("İlk ölçüm"),
                                               {},
                                               {}},
                                              {DeepHealthTestFindingKind::thermal,
                                               HealthLevel::attention,
                                               QStringLiteral("Isınma"),
                                               {},
                                               {}}};
         },
         {QStringLiteral("deep-health-thermal")}},
        {"service advice is critical, information is left out",
         [](FullSystemScanEvidence& e) {
             HardwareRecommendation info;
             info.id = QStringLiteral("memory-upgrade");
             HardwareRecommendation service;
             service.id = QStringLiteral("battery-service");
             service.componentKind = HardwareComponentKind::battery;
             service.urgency = HardwareRecommendationUrgency::serviceRecommended;
             e.hardwareRecommendations = {info, service};
         },
         {QStringLiteral("hardware-battery-service")}},
    };
    for (const Case& c : cases) {
        FullSystemScanEvidence e = healthyEvidence();
        c.change(e);
        EXPECT_EQ(findingIDs(FullSystemScanReportBuilder{}.makeResult(e, QUuid()).findings), c.ids) << c.name;
    }
}

TEST(FullSystemScanSummaries, FollowTheMostSevereFindingThenTheScore) {
    const auto finding = [](HealthLevel level) {
        return FullSystemScanFinding{QStringLiteral("x"), {}, level};
    };
    struct Case {
        std::vector<FullSystemScanFinding> findings;
        std::optional<int> score;
        QString expected;
    };
    const std::vector<Case> cases = {
        {{finding(HealthLevel::critical), finding(HealthLevel::critical), finding(HealthLevel::attention)},
         95,
         QStringLiteral("Taramada hemen dikkat edilmesi gereken 2 bulgu belirlendi. Ayrıntılardaki güvenli "
                        "adımları izle.")},
        {{finding(HealthLevel::attention)},
         95,
         QStringLiteral("9 kontrol tamamlandı ve 1 konu için iyileştirme veya yeniden kontrol önerildi. Bu, "
                        "kesin donanım arızası anlamına gelmez.")},
        {{finding(HealthLevel::normal)},
         std::nullopt,
         QStringLiteral(
             "Yeterli sayıda test tamamlanamadı; koşullar uygun olduğunda taramayı yeniden çalıştır.")},
        {{},
         90,
         QStringLiteral("Tamamlanan kontrollerde Mac’in genel durumu güçlü görünüyor. Belirgin bir servis "
                        "sinyali bulunmadı.")},
        {{},
         89,
         QStringLiteral(
             "Tamamlanan kontroller genel olarak iyi sonuç verdi. Düzenli izlemeye devam edebilirsin.")},
        {{},
         75,
         QStringLiteral(
             "Tamamlanan kontroller genel olarak iyi sonuç verdi. Düzenli izlemeye devam edebilirsin.")},
        {{},
         74,
         QStringLiteral(
             "Bazı ölçümler beklenen aralığın altında kaldı; bulguları ve önerileri gözden geçir.")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FullSystemScanReportBuilder::simpleSummary(c.findings, 9, c.score), c.expected);

    const FullSystemScanEvidence e = healthyEvidence();
    const QString technical = FullSystemScanReportBuilder{}.makeResult(e, QUuid()).technicalSummary;
    EXPECT_TRUE(technical.startsWith(
        QStringLiteral("Ağırlıklı genel puan 95; yok kullanılamıyor, yok başarısız. Hızlı sağlık: ")))
        << technical.toStdString();
    EXPECT_TRUE(technical.contains(QStringLiteral(". Derin sağlık: puan 88, sürdürülebilir kapasite %94.")));
}

TEST(FullSystemScanReminder, ClampsDaysAndCatchesUpOnce) {
    struct Case {
        int days;
        int clamped;
    };
    for (const Case c : std::vector<Case>{{0, 1}, {-5, 1}, {1, 1}, {30, 30}, {90, 90}, {120, 90}}) {
        EXPECT_EQ(FullSystemScanReminderSchedule::clampedDays(c.days), c.clamped) << c.days;
        EXPECT_EQ(FullSystemScanReminderSchedule::firstReminder(scanTime(), c.days),
                  scanTime(c.clamped * 86'400.0));
    }
    const Date stored = scanTime(7 * 86'400);
    EXPECT_EQ(FullSystemScanReminderSchedule::nextReminder(stored, scanTime(), 7), stored) << "still ahead";
    EXPECT_EQ(FullSystemScanReminderSchedule::nextReminder(stored, stored, 7), scanTime(14 * 86'400))
        << "due now";
    // Closed for three weeks: one reminder now, the next one a period after the last missed date.
    EXPECT_EQ(FullSystemScanReminderSchedule::nextReminder(stored, scanTime(29 * 86'400), 7),
              scanTime(35 * 86'400));
    EXPECT_TRUE(FullSystemScanReminderSchedule::isDue(stored, stored));
    EXPECT_FALSE(FullSystemScanReminderSchedule::isDue(stored, scanTime()));
    EXPECT_FALSE(FullSystemScanReminderSchedule::isDue(std::nullopt, scanTime()));
}

TEST(FullSystemScanResultJson, RoundTripsWithTheFieldNames) {
    FullSystemScanEvidence e = healthyEvidence();
    e.aiExplanation = FullSystemScanStep<QString>::completed(QStringLiteral("Açıklama."));
    const FullSystemScanResult r = FullSystemScanReportBuilder{}.makeResult(
        e, QUuid::fromString(QStringLiteral("{55555555-0000-0000-0000-000000000001}")));
    const QJsonObject json = fullSystemScanResultToJson(r).toObject();
    EXPECT_EQ(json.value(QStringLiteral("mode")).toString(), QStringLiteral("onDeviceAI"));
    EXPECT_EQ(json.value(QStringLiteral("id")).toString(),
              QStringLiteral("55555555-0000-0000-0000-000000000001"));
    EXPECT_EQ(json.value(QStringLiteral("components"))
                  .toArray()
                  .at(0)
                  .toObject()
                  .value(QStringLiteral("kind"))
                  .toString(),
              QStringLiteral("hardware"));
    EXPECT_EQ(fullSystemScanResultFromJson(json), r);
    QJsonObject broken = json;
    broken.insert(QStringLiteral("confidence"), QStringLiteral("certain"));
    EXPECT_THROW(fullSystemScanResultFromJson(broken), KestrumError);
}
