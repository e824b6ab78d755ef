#include "history/HealthTimelineBuilder.h"

#include "foundation/Uuid.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000);
constexpr double kDay = 86400;

Date ago(double seconds) {
    return kNow.addingSeconds(-seconds);
}

HealthEvent eventAt(Date when, const char* signature, HealthLevel level = HealthLevel::attention) {
    HealthEvent e;
    e.id = newUuid();
    e.timestamp = when;
    e.kind = HealthInsightKind::cpu;
    e.level = level;
    e.title = QStringLiteral("CPU yüksek");
    e.evidence = QStringLiteral("kanıt");
    e.recommendation = QStringLiteral("öneri");
    e.signature = QString::fromUtf8(signature);
    return e;
}

IncidentSession incident(Date start, std::optional<Date> end) {
    return IncidentSession{newUuid(), start, end, QStringLiteral("fan"), {}};
}

PerformanceSession session(Date start, std::optional<Date> end, std::optional<double> peak,
                           ThermalLevel thermal) {
    PerformanceSession s;
    s.id = newUuid();
    s.name = QStringLiteral("Derleme");
    s.startedAt = start;
    s.endedAt = end;
    s.sampleCount = 12;
    s.peakCPUUsage = peak;
    s.highestThermalLevel = thermal;
    return s;
}

HealthTestResult quickTest(Date start, int score) {
    HealthTestResult r;
    r.id = newUuid();
    r.startedAt = start;
    r.endedAt = start.addingSeconds(20);
    r.healthScore = score;
    r.confidence = HealthTestConfidence::high;
    r.components = {{HealthTestComponentKind::battery, std::nullopt, {}, {}},
                    {HealthTestComponentKind::thermal, 90, {}, {}},
                    {HealthTestComponentKind::memory, 80, {}, {}},
                    {HealthTestComponentKind::storage, 70, {}, {}},
                    {HealthTestComponentKind::stability, 95, {}, {}}};
    return r;
}

NetworkQualityResult networkAt(Date when, NetworkQualityLevel quality) {
    NetworkQualityResult r;
    r.id = newUuid();
    r.timestamp = when;
    r.quality = quality;
    r.medianResponseMilliseconds = 23.5;
    r.attemptedProbes = 10;
    r.successfulProbes = 9;
    return r;
}

ResourceCulpritAnalysis analysisEndingAt(std::optional<Date> end, int observations, double score) {
    AppResourceSummary app;
    app.application = ForegroundApplication{QStringLiteral("Tarayıcı"), std::nullopt};
    app.observationCount = observations;
    app.peakCPUUsage = 0.87;
    app.pressureScore = score;
    app.impact = CulpritImpact::high;
    ResourceCulpritAnalysis analysis;
    analysis.startedAt = ago(3600);
    analysis.endedAt = end;
    analysis.observationCount = observations;
    analysis.applications = {app};
    return analysis;
}

std::vector<QString> ids(const std::vector<HealthTimelineEntry>& entries) {
    std::vector<QString> out;
    for (const auto& e : entries)
        out.push_back(e.id);
    return out;
}

const HealthTimelineEntry* find(const std::vector<HealthTimelineEntry>& entries, const QString& id) {
    for (const auto& e : entries) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

TEST(HealthTimelineBuilder, MergesEverySourceNewestFirstWithinTheWindow) {
    const HealthEvent oldEvent = eventAt(ago(8 * kDay), "old");
    const HealthEvent recentEvent = eventAt(ago(2 * kDay), "recent");
    const HealthEvent futureEvent = eventAt(kNow.addingSeconds(600), "future");
    const IncidentSession openSinceLongAgo = incident(ago(9 * kDay), std::nullopt);
    const IncidentSession endedBeforeWindow = incident(ago(9 * kDay), ago(8 * kDay));
    const IncidentSession reachingIntoWindow = incident(ago(8 * kDay), ago(6 * kDay));
    const PerformanceSession recentSession =
        session(ago(3 * kDay), ago(3 * kDay - 600), 0.5, ThermalLevel::fair);
    const PerformanceSession oldSession =
        session(ago(10 * kDay), ago(10 * kDay - 600), 0.5, ThermalLevel::fair);
    const HealthTestResult recentTest = quickTest(ago(kDay), 82);
    const HealthTestResult oldTest = quickTest(ago(7 * kDay + 60), 82);
    DeepHealthTestResult deep;
    deep.id = newUuid();
    deep.startedAt = ago(4 * kDay);
    deep.endedAt = ago(4 * kDay - 300);
    deep.healthScore = 64;
    deep.sustainedCapacityScore = 91;
    const NetworkQualityResult network = networkAt(ago(5 * kDay), NetworkQualityLevel::good);

    const auto entries = HealthTimelineBuilder::entries(
        {oldEvent, recentEvent, futureEvent}, {openSinceLongAgo, endedBeforeWindow, reachingIntoWindow},
        {recentSession, oldSession}, {oldTest, recentTest}, {deep}, network,
        analysisEndingAt(ago(60), 5, 0.4), kNow, 7 * kDay);

    const std::vector<QString> expected{
        QStringLiteral("resource-Tarayıcı"),
        QStringLiteral("test-") + uuidText(recentTest.id),
        QStringLiteral("event-") + uuidText(recentEvent.id),
        QStringLiteral("performance-") + uuidText(recentSession.id),
        QStringLiteral("test-") + uuidText(deep.id),
        QStringLiteral("network-") + uuidText(network.id),
        QStringLiteral("incident-") + uuidText(reachingIntoWindow.id),
        QStringLiteral("incident-") + uuidText(openSinceLongAgo.id),
    };
    EXPECT_EQ(ids(entries), expected);
}

TEST(HealthTimelineBuilder, AGroupOfEventsShowsItsLatestEvidenceAndCount) {
    const HealthEvent first = eventAt(ago(3600), "cpu-high");
    HealthEvent second = eventAt(ago(1800), "cpu-high");
    second.evidence = QStringLiteral("son kanıt");
    const HealthEvent lone = eventAt(ago(600), "memory-high", HealthLevel::critical);

    const auto entries = HealthTimelineBuilder::entries({first, second, lone}, {}, {}, {}, {}, std::nullopt,
                                                        ResourceCulpritAnalysis::empty(), kNow, 7 * kDay);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].id, QStringLiteral("event-") + uuidText(lone.id));
    EXPECT_EQ(entries[0].evidence, QStringLiteral("kanıt"));
    EXPECT_EQ(entries[0].level, HealthLevel::critical);
    EXPECT_EQ(entries[1].id, QStringLiteral("event-") + uuidText(second.id));
    EXPECT_EQ(entries[1].timestamp, second.timestamp);
    EXPECT_TRUE(entries[1].evidence.contains(
        QStringLiteral(" itibarıyla 2 eşleşen gözlem. Son kanıt gösteriliyor; kesintisiz süre ve düzelme "
                       "bilinmiyor.")))
        << entries[1].evidence.toStdString();
    EXPECT_EQ(entries[1].recommendation, QStringLiteral("öneri"));
}

TEST(HealthTimelineBuilder, EntryTextsAndLevels) {
    const IncidentSession open = incident(ago(100), std::nullopt);
    const IncidentSession closed = incident(ago(7200), ago(3600));
    const PerformanceSession hot = session(ago(200), ago(150), 0.4, ThermalLevel::serious);
    const PerformanceSession busy = session(ago(300), ago(250), 0.9, ThermalLevel::nominal);
    const PerformanceSession calm = session(ago(400), ago(350), 0.89, ThermalLevel::fair);
    const PerformanceSession unread = session(ago(500), ago(450), std::nullopt, ThermalLevel::unavailable);
    const HealthTestResult weakTest = quickTest(ago(600), 49);
    const NetworkQualityResult fairNetwork = networkAt(ago(700), NetworkQualityLevel::fair);
    const auto entries =
        HealthTimelineBuilder::entries({}, {open, closed}, {hot, busy, calm, unread}, {weakTest}, {},
                                       fairNetwork, ResourceCulpritAnalysis::empty(), kNow, 7 * kDay);
    const auto entry = [&](const QString& prefix, const QUuid& id) {
        const HealthTimelineEntry* e = find(entries, prefix + uuidText(id));
        EXPECT_NE(e, nullptr) << prefix.toStdString();
        return e ? *e : HealthTimelineEntry{};
    };
    EXPECT_EQ(entry("incident-", open.id).title, QStringLiteral("Olay işareti açık"));
    EXPECT_EQ(entry("incident-", open.id).endedAt, std::nullopt);
    EXPECT_EQ(entry("incident-", closed.id).title, QStringLiteral("Olay zaman aralığı"));
    EXPECT_EQ(entry("incident-", closed.id).endedAt, closed.endedAt);

    const struct {
        const PerformanceSession& session;
        HealthLevel level;
    } sessions[] = {{hot, HealthLevel::attention},
                    {busy, HealthLevel::attention},
                    {calm, HealthLevel::normal},
                    {unread, HealthLevel::normal}};
    for (const auto& c : sessions)
        EXPECT_EQ(entry("performance-", c.session.id).level, c.level) << c.session.peakCPUUsage.value_or(-1);
    EXPECT_TRUE(entry("performance-", hot.id).evidence.startsWith(QStringLiteral("12 ölçüm; CPU zirvesi ")));
    EXPECT_TRUE(
        entry("performance-", hot.id).evidence.endsWith(QStringLiteral("; en yüksek termal durum Ciddi")));
    EXPECT_FALSE(entry("performance-", unread.id).evidence.contains(QStringLiteral(" 0%")))
        << "an unread peak is never shown as zero";

    const HealthTimelineEntry test = entry("test-", weakTest.id);
    EXPECT_EQ(test.kind, HealthTimelineEntryKind::healthTest);
    EXPECT_EQ(test.title, QStringLiteral("Hızlı sağlık testi %49"));
    EXPECT_EQ(test.evidence, QStringLiteral("4 bileşen değerlendirildi; güven yüksek"));
    EXPECT_EQ(test.level, HealthLevel::critical);

    const HealthTimelineEntry network = entry("network-", fairNetwork.id);
    EXPECT_EQ(network.title, QStringLiteral("Ağ kalitesi: Orta"));
    EXPECT_EQ(network.evidence, QStringLiteral("Ortanca yanıt 24 ms; başarılı deneme 9/10"));
    EXPECT_TRUE(network.recommendation.has_value());
    const auto good =
        HealthTimelineBuilder::entries({}, {}, {}, {}, {}, networkAt(ago(700), NetworkQualityLevel::good),
                                       ResourceCulpritAnalysis::empty(), kNow, 7 * kDay);
    ASSERT_EQ(good.size(), 1u);
    EXPECT_FALSE(good[0].recommendation.has_value());
}

TEST(HealthTimelineBuilder, ResourcePressureNeedsALeadingCandidateInsideTheWindow) {
    const struct {
        const char* name;
        std::optional<Date> end;
        int observations;
        double score;
        bool shown;
    } cases[] = {
        {"leading", ago(60), 3, 0.25, true},
        {"stillObserving", std::nullopt, 3, 0.25, true},
        {"tooFewObservations", ago(60), 2, 0.9, false},
        {"weakPressure", ago(60), 10, 0.24, false},
        {"beforeTheWindow", ago(8 * kDay), 10, 0.9, false},
    };
    for (const auto& c : cases) {
        const auto entries =
            HealthTimelineBuilder::entries({}, {}, {}, {}, {}, std::nullopt,
                                           analysisEndingAt(c.end, c.observations, c.score), kNow, 7 * kDay);
        ASSERT_EQ(entries.size(), c.shown ? 1u : 0u) << c.name;
        if (!c.shown)
            continue;
        EXPECT_EQ(entries[0].title, QStringLiteral("Tarayıcı kaynak baskısıyla eşleşti")) << c.name;
        EXPECT_TRUE(entries[0].evidence.startsWith(
            QString::number(c.observations) + QStringLiteral(" onaylı ön plan gözleminde CPU zirvesi ")));
    }
}

} // namespace
