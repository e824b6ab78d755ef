#include "culprits/ResourceCulpritAnalyzer.h"

#include "culprits/ResourceActivity.h"
#include "foundation/PreferencesStore.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kestrum {
namespace {

const Date kNow{800000000};

ForegroundApplication app(const char* name, std::optional<QString> id = std::nullopt) {
    return {QString::fromUtf8(name), std::move(id)};
}

AppResourceObservation at(double secondsFromNow, const ForegroundApplication& application, double cpu = 0,
                          double memory = 0) {
    AppResourceObservation o;
    o.timestamp = kNow.addingSeconds(secondsFromNow);
    o.application = application;
    o.cpuUsage = cpu;
    o.memoryUsage = memory;
    return o;
}

// n observations of one application with the same figures.
std::vector<AppResourceObservation> repeated(int n, const ForegroundApplication& application, double cpu,
                                             double memory, double network = 0, int elevatedThermal = 0) {
    std::vector<AppResourceObservation> list;
    for (int i = 0; i < n; ++i) {
        AppResourceObservation o = at(i, application, cpu, memory);
        o.networkBytesPerSecond = network;
        o.thermalLevel = i < elevatedThermal ? ThermalLevel::serious : ThermalLevel::nominal;
        list.push_back(o);
    }
    return list;
}

TEST(ResourceCulpritAnalyzer, ScoreImpactAndConfidenceFromTheTerms) {
    struct Case {
        const char* what;
        int n;
        double cpu, memory, network;
        int elevated;
        double score;
        CulpritImpact impact;
        CulpritConfidence confidence;
    };
    const Case cases[] = {
        {"full CPU, twelve times", 12, 1.0, 0, 0, 0, 0.55, CulpritImpact::medium, CulpritConfidence::medium},
        {"full CPU, three times: factor 0.775", 3, 1.0, 0, 0, 0, 0.55 * 0.775, CulpritImpact::medium,
         CulpritConfidence::low},
        {"one observation", 1, 1.0, 0, 0, 0, 0.55 * (std::sqrt(1.0 / 12) * 0.45 + 0.55),
         CulpritImpact::medium, CulpritConfidence::low},
        {"CPU at 0.25 and memory at 0.65 add nothing", 40, 0.25, 0.65, 0, 0, 0, CulpritImpact::low,
         CulpritConfidence::high},
        {"everything at its ceiling", 30, 1.0, 1.0, 1e8 - 1, 30, 1.0, CulpritImpact::high,
         CulpritConfidence::high},
        {"memory alone", 12, 0, 1.0, 0, 0, 0.28, CulpritImpact::low, CulpritConfidence::medium},
        {"network alone, 10^4 B/s", 12, 0, 0, 1e4 - 1, 0, 0.5 * 0.07, CulpritImpact::low,
         CulpritConfidence::medium},
        {"half of the samples warm", 12, 0, 0, 0, 6, 0.05, CulpritImpact::low, CulpritConfidence::medium},
        {"just under high", 12, 1.0, 0.65 + 0.35 * (0.069 / 0.28), 0, 0, 0.619, CulpritImpact::medium,
         CulpritConfidence::medium},
        {"just over high", 12, 1.0, 0.65 + 0.35 * (0.071 / 0.28), 0, 0, 0.621, CulpritImpact::high,
         CulpritConfidence::medium},
        {"just under medium", 12, 0.25 + 0.75 * (0.319 / 0.55), 0, 0, 0, 0.319, CulpritImpact::low,
         CulpritConfidence::medium},
        {"nine observations are still low confidence", 9, 0.5, 0, 0, 0,
         0.55 * (0.25 / 0.75) * (std::sqrt(9.0 / 12) * 0.45 + 0.55), CulpritImpact::low,
         CulpritConfidence::low},
        {"a reading out of range is clamped", 12, 7.0, -3.0, -5, 0, 0.55, CulpritImpact::medium,
         CulpritConfidence::medium},
    };
    for (const Case& c : cases) {
        const auto analysis = ResourceCulpritAnalyzer::analyze(
            repeated(c.n, app("Derleyici"), c.cpu, c.memory, c.network, c.elevated), 2);
        ASSERT_EQ(analysis.applications.size(), 1u) << c.what;
        const AppResourceSummary& s = analysis.applications[0];
        EXPECT_NEAR(s.pressureScore, c.score, 1e-9) << c.what;
        EXPECT_EQ(s.impact, c.impact) << c.what;
        EXPECT_EQ(s.confidence, c.confidence) << c.what;
        EXPECT_EQ(s.observationCount, c.n) << c.what;
        EXPECT_DOUBLE_EQ(s.estimatedForegroundDuration, 2.0 * c.n) << c.what;
    }
}

TEST(ResourceCulpritAnalyzer, NonFiniteFiguresScoreZeroNotNaN) {
    auto list = repeated(12, app("Bozuk"), std::numeric_limits<double>::quiet_NaN(), 0);
    list[0].networkBytesPerSecond = std::numeric_limits<double>::infinity();
    const auto s = ResourceCulpritAnalyzer::analyze(list, 2).applications.at(0);
    EXPECT_TRUE(std::isfinite(s.pressureScore));
    EXPECT_GE(s.pressureScore, 0);
    EXPECT_LE(s.pressureScore, 1);
}

TEST(ResourceCulpritAnalyzer, RankingGroupingAndTies) {
    // Equal scores rank by observation count; equal counts keep the order of first appearance.
    std::vector<AppResourceObservation> list;
    list.push_back(at(0, app("Editor"), 0.1));
    list.push_back(at(1, app("Oyun", QStringLiteral("org.example.Game")), 0.9));
    list.push_back(at(2, app("editor"), 0.1)); // same group as "Editor": the name in any letter case
    list.push_back(at(3, app("Tarayıcı"), 0.1));
    list.push_back(at(4, app("Kayıt"), 0.1));
    list.push_back(at(5, app("Oyun"), 0.9)); // no identifier: a group of its own, apart from the game's
    const auto analysis = ResourceCulpritAnalyzer::analyze(list, 2);
    QStringList order;
    for (const auto& s : analysis.applications)
        order.append(s.id());
    // The game with its identifier and the "Oyun" without one tie on score and count: the grouping order
    // decides. The rest score nothing and rank by count.
    EXPECT_EQ(order, (QStringList{QStringLiteral("org.example.Game"), QStringLiteral("name:oyun"),
                                  QStringLiteral("name:editor"), QStringLiteral("name:tarayıcı"),
                                  QStringLiteral("name:kayıt")}));
    EXPECT_EQ(analysis.applications[2].observationCount, 2);
    EXPECT_EQ(analysis.applications[2].application.name, QStringLiteral("Editor")) << "the first one's name";
    EXPECT_EQ(analysis.observationCount, 6);
    EXPECT_EQ(analysis.startedAt, kNow);
    EXPECT_EQ(analysis.endedAt, kNow.addingSeconds(5));
}

TEST(ResourceCulpritAnalyzer, DatesSpanTheListWhateverItsOrder) {
    const std::vector<AppResourceObservation> list = {at(10, app("A")), at(-30, app("B")), at(4, app("A"))};
    const auto analysis = ResourceCulpritAnalyzer::analyze(list, 2);
    EXPECT_EQ(analysis.startedAt, kNow.addingSeconds(-30));
    EXPECT_EQ(analysis.endedAt, kNow.addingSeconds(10));
    EXPECT_EQ(ResourceCulpritAnalyzer::analyze({}, 2), ResourceCulpritAnalysis::empty());
}

TEST(ResourceCulpritAnalyzer, IntervalIsClamped) {
    const struct {
        double given, used;
    } cases[] = {{0.2, 1},
                 {1, 1},
                 {5, 5},
                 {30, 30},
                 {600, 30},
                 {std::numeric_limits<double>::quiet_NaN(), 2},
                 {-std::numeric_limits<double>::infinity(), 2}};
    for (const auto& c : cases) {
        const auto analysis = ResourceCulpritAnalyzer::analyze(repeated(3, app("A"), 0, 0), c.given);
        EXPECT_DOUBLE_EQ(analysis.estimatedObservedDuration, 3 * c.used) << c.given;
        EXPECT_DOUBLE_EQ(analysis.applications.at(0).estimatedForegroundDuration, 3 * c.used) << c.given;
    }
}

TEST(ResourceCulpritAnalyzer, LeadingCandidateNeedsThreeObservationsAndAQuarter) {
    const struct {
        int n;
        double cpu;
        bool leads;
    } cases[] = {{2, 1.0, false},
                 {3, 1.0, true},
                 {12, 0.25 + 0.75 * (0.249 / 0.55), false},
                 {12, 0.25 + 0.75 * (0.251 / 0.55), true}};
    for (const auto& c : cases) {
        const auto analysis = ResourceCulpritAnalyzer::analyze(repeated(c.n, app("A"), c.cpu, 0), 2);
        EXPECT_EQ(analysis.leadingCandidate().has_value(), c.leads) << c.n << ' ' << c.cpu;
    }
    EXPECT_FALSE(ResourceCulpritAnalysis::empty().leadingCandidate());
}

TEST(ResourceCulpritAnalyzer, CompactionKeepsTheWindowAndTheNewest) {
    const ResourceCulpritAnalyzer analyzer(100, 3);
    const struct {
        const char* what;
        std::vector<double> offsets; // seconds from now
        std::vector<double> kept;
    } cases[] = {
        {"retention's lower edge is kept", {-101, -100, -50}, {-100, -50}},
        {"up to 60 s ahead is kept, beyond is dropped", {0, 60, 61}, {0, 60}},
        {"sorted, then the newest three", {-5, -50, 10, -1, -20}, {-5, -1, 10}},
        {"nothing left", {-500, 500}, {}},
    };
    for (const auto& c : cases) {
        std::vector<AppResourceObservation> list;
        for (const double s : c.offsets)
            list.push_back(at(s, app("A")));
        std::vector<double> got;
        for (const auto& o : analyzer.compacted(list, kNow))
            got.push_back(o.timestamp.secondsSinceReferenceDate - kNow.secondsSinceReferenceDate);
        EXPECT_EQ(got, c.kept) << c.what;
    }
}

// The in-place append must give exactly what compacting the whole list gives, and say truly whether
// anything changed.
TEST(ResourceCulpritAnalyzer, AppendingInPlaceMatchesCompaction) {
    const ResourceCulpritAnalyzer analyzer(100, 4);
    const struct {
        const char* what;
        std::vector<std::pair<double, double>> steps; // observation time, "now" of its sample
    } cases[] = {
        {"in order, the count cap", {{0, 0}, {2, 2}, {4, 4}, {6, 6}, {8, 8}, {10, 10}}},
        {"in order, the retention", {{0, 0}, {50, 50}, {120, 120}, {300, 300}}},
        {"one from the future beyond the tolerance", {{0, 0}, {100, 2}, {4, 4}}},
        {"one older than the last", {{0, 0}, {10, 10}, {5, 12}, {20, 20}}},
        {"an old one that falls out at once", {{200, 200}, {201, 201}, {50, 202}}},
        {"an old one while the list is full", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {0.5, 4}}},
    };
    for (const auto& c : cases) {
        std::vector<AppResourceObservation> inPlace, reference;
        for (const auto& [time, now] : c.steps) {
            const AppResourceObservation o = at(time, app("A"), time / 1000);
            std::vector<AppResourceObservation> appended = reference;
            appended.push_back(o);
            const auto expected = analyzer.compacted(appended, kNow.addingSeconds(now));
            const bool changed = analyzer.appendCompacting(inPlace, o, kNow.addingSeconds(now));
            EXPECT_EQ(inPlace, expected) << c.what << " at " << time;
            EXPECT_EQ(changed, expected != reference) << c.what << " at " << time;
            reference = expected;
        }
    }
}

SystemSnapshot snapshot() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid::createUuid(), kNow);
    s.cpu.availability = MetricAvailability::available();
    s.cpu.totalUsage = 0.4;
    s.memory.availability = MetricAvailability::available();
    s.memory.totalBytes = 1000;
    s.memory.usedBytes = 250;
    s.network.downloadBytesPerSecond = 300;
    s.network.uploadBytesPerSecond = 200;
    s.thermal = ThermalLevel::fair;
    return s;
}

TEST(ResourceCulpritAnalyzer, ObservationFromASnapshot) {
    const auto none = [](SystemSnapshot s, std::optional<ForegroundApplication> a) {
        return !ResourceCulpritAnalyzer::observation(s, a).has_value();
    };
    EXPECT_TRUE(none(snapshot(), std::nullopt));
    SystemSnapshot s = snapshot();
    s.cpu.availability = MetricAvailability::unavailable(QStringLiteral("x"));
    EXPECT_TRUE(none(s, app("A")));
    s = snapshot();
    s.memory.totalBytes = 0;
    EXPECT_TRUE(none(s, app("A")));
    s = snapshot();
    s.memory.availability = MetricAvailability::unavailable(QStringLiteral("x"));
    EXPECT_TRUE(none(s, app("A")));

    s = snapshot();
    s.cpu.totalUsage = 1.3;
    s.network.uploadBytesPerSecond = -900; // a counter that went backwards
    const auto o = ResourceCulpritAnalyzer::observation(s, app("A"));
    ASSERT_TRUE(o);
    EXPECT_EQ(o->timestamp, kNow);
    EXPECT_DOUBLE_EQ(o->cpuUsage, 1.0);
    EXPECT_DOUBLE_EQ(o->memoryUsage, 0.25);
    EXPECT_DOUBLE_EQ(o->networkBytesPerSecond, 0);
    EXPECT_EQ(o->thermalLevel, ThermalLevel::fair);
    EXPECT_FALSE(o->batteryUsesPowerAdapter) << "no battery: unknown, not 'on the adapter'";
    EXPECT_FALSE(o->systemPowerWatts);

    s = snapshot();
    s.battery.availability = MetricAvailability::available();
    s.battery.isPresent = true;
    s.battery.isConnectedToPowerAdapter = false;
    s.battery.voltageVolts = 12.0;
    s.battery.amperageAmps = -1.5;
    const auto onBattery = ResourceCulpritAnalyzer::observation(s, app("A"));
    ASSERT_TRUE(onBattery);
    EXPECT_EQ(onBattery->batteryUsesPowerAdapter, false);
    EXPECT_DOUBLE_EQ(onBattery->systemPowerWatts.value_or(0), -18.0);
}

AppResourceObservation powered(double t, const ForegroundApplication& a, std::optional<bool> adapter,
                               std::optional<double> watts, double cpu = 0.5) {
    AppResourceObservation o = at(t, a, cpu);
    o.batteryUsesPowerAdapter = adapter;
    o.systemPowerWatts = watts;
    return o;
}

TEST(BatteryImpactAnalyzer, OnlyTimeOnBatteryAndOnlyRealPowerReadings) {
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    // Plugged in throughout, or no battery at all: nothing to say.
    EXPECT_EQ(
        BatteryImpactAnalyzer::analyze({powered(0, app("A"), true, -10), powered(1, app("A"), true, 5)}, 2),
        BatteryImpactAnalysis::empty());
    EXPECT_EQ(BatteryImpactAnalyzer::analyze({powered(0, app("A"), std::nullopt, -10)}, 2),
              BatteryImpactAnalysis::empty());

    // The adapter comes and goes: only the stretches on battery count.
    const std::vector<AppResourceObservation> list = {
        powered(0, app("Oyun"), false, -20, 0.9),
        powered(2, app("Oyun"), true, -50, 0.9), // plugged in: not counted
        powered(4, app("Oyun"), false, 10, 0.9), // the sign is the battery's; the figure is its size
        powered(6, app("Not"), false, 0, 0.1),   // zero is no reading
        powered(8, app("Not"), false, nan, 0.1),
        powered(10, app("Not"), false, std::nullopt, 0.1),
        powered(12, app("Oyun"), false, std::nullopt, 0.9),
        powered(14, app("Plugged"), true, -7),
    };
    const BatteryImpactAnalysis analysis = BatteryImpactAnalyzer::analyze(list, 2);
    EXPECT_EQ(analysis.observationCount, 6);
    EXPECT_EQ(analysis.startedAt, kNow);
    EXPECT_EQ(analysis.endedAt, kNow.addingSeconds(12));
    EXPECT_DOUBLE_EQ(analysis.estimatedObservedDuration, 12);
    ASSERT_EQ(analysis.applications.size(), 2u) << "an application seen only on the adapter is absent";
    const AppBatteryImpactSummary& game = analysis.applications[0];
    EXPECT_EQ(game.resourceSummary.application.name, QStringLiteral("Oyun"));
    EXPECT_EQ(game.resourceSummary.observationCount, 3);
    EXPECT_EQ(game.powerMeasurementCount, 2);
    EXPECT_DOUBLE_EQ(game.averageSystemDischargeWatts.value_or(-1), 15.0);
    const AppBatteryImpactSummary& notes = analysis.applications[1];
    EXPECT_EQ(notes.powerMeasurementCount, 0);
    EXPECT_FALSE(notes.averageSystemDischargeWatts) << "no valid reading is no figure, not zero";
    EXPECT_EQ(analysis.powerMeasurementCount, 2);
}

class FixedForeground : public ForegroundApplicationProviding {
public:
    std::optional<ForegroundApplication> current = ForegroundApplication{QStringLiteral("Editor"), {}};
    std::optional<ForegroundApplication> currentApplication() override { return current; }
    MetricAvailability availability() const override { return MetricAvailability::available(); }
};

TEST(ResourceActivity, ConsentGatesRecordingAndWithdrawingDropsEverything) {
    InMemoryPreferencesStore preferences;
    auto foreground = std::make_shared<FixedForeground>();
    ResourceAnalysisDependencies deps;
    deps.foregroundApplicationProvider = foreground;
    {
        ResourceActivity activity(deps, preferences);
        EXPECT_FALSE(activity.isEnabled()) << "off until asked";
        activity.record(snapshot());
        EXPECT_TRUE(activity.observations().empty()) << "nothing is observed without consent";

        activity.setEnabled(true);
        SystemSnapshot s = snapshot();
        activity.record(s);
        s.timestamp = s.timestamp.addingSeconds(2);
        activity.record(s);
        foreground->current.reset(); // the desktop cannot tell: nothing recorded
        s.timestamp = s.timestamp.addingSeconds(2);
        activity.record(s);
        EXPECT_EQ(activity.observations().size(), 2u);

        activity.clearObservations();
        EXPECT_TRUE(activity.observations().empty());
        EXPECT_TRUE(activity.isEnabled()) << "clearing keeps the consent";

        foreground->current = ForegroundApplication{QStringLiteral("Editor"), {}};
        activity.record(s);
        ASSERT_EQ(activity.observations().size(), 1u);
        activity.setEnabled(false);
        EXPECT_TRUE(activity.observations().empty()) << "withdrawing drops every observation";
        EXPECT_EQ(activity.analysis(2), ResourceCulpritAnalysis::empty());
        EXPECT_FALSE(activity.applicationUsage().availability.isAvailable());
        activity.setEnabled(true);
    }
    // The consent survives a restart only under the consent version it was given for.
    EXPECT_TRUE(ResourceActivity(deps, preferences).isEnabled());
    preferences.setValue(ResourceActivity::kConsentVersionKey, 2.0);
    EXPECT_FALSE(ResourceActivity(deps, preferences).isEnabled());
}

} // namespace
} // namespace kestrum
