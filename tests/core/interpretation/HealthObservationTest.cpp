#include "interpretation/HealthObservation.h"

#include "foundation/Uuid.h"

#include <gtest/gtest.h>

using namespace kestrum;
using Continuity = HealthObservationContinuity;
using State = Continuity::State;
using Obs = Continuity::Observation;
using Interruption = Continuity::Interruption;

namespace {

const Date kStart = Date::fromUnixSeconds(1'765'000'000);

SystemSnapshot snapshotAt(double offset, double cpu, ThermalLevel thermal = ThermalLevel::nominal) {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), kStart.addingSeconds(offset));
    s.cpu = CPUStats{cpu, {cpu, cpu}, {}, MetricAvailability::available()};
    s.memory = MemoryStats{50, 100, 0, 0, MetricAvailability::available()};
    s.thermal = thermal;
    return s;
}

Continuity continuity(double minimumDuration, double maximumGap) {
    Continuity c;
    c.requirements = {minimumDuration, maximumGap, 5};
    return c;
}

const Continuity::Context kContext{HealthInsightKind::cpu, QStringLiteral("r05-observation-cpu"),
                                   QUuid::createUuid(), QUuid::createUuid()};

} // namespace

TEST(HealthObservationContinuity, ConfirmsNormalAfterFiveSamplesAndTheMinimumDuration) {
    // Interval 15 s: a high sample, then normal ones every 15 s.
    Continuity c = continuity(120, 35);
    EXPECT_EQ(c.observe(Obs::normal(), 0, kContext), State::unknown(Interruption::contextChanged))
        << "no signal seen yet";
    EXPECT_EQ(c.observe(Obs::elevated(Continuity::Severity::attention), 15, kContext),
              State::elevated(Continuity::Severity::attention));
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(c.observe(Obs::normal(), 15 + 15.0 * i, kContext), State::confirmingNormal()) << i;
    EXPECT_EQ(c.observe(Obs::normal(), 15 + 15.0 * 9, kContext), State::normalObserved())
        << "the 9th normal sample, 120 s after the first";

    Continuity memory = continuity(180, 35);
    memory.observe(Obs::elevated(Continuity::Severity::attention), 0, kContext);
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(memory.observe(Obs::normal(), 15.0 * i, kContext), State::confirmingNormal()) << i;
    EXPECT_EQ(memory.observe(Obs::normal(), 15.0 * 13, kContext), State::normalObserved());
}

TEST(HealthObservationContinuity, ClockFaultsGapsAndContextChanges) {
    Continuity c = continuity(120, 10);
    c.observe(Obs::elevated(Continuity::Severity::critical), 100, kContext);
    c.observe(Obs::normal(), 102, kContext);
    EXPECT_EQ(c.observe(Obs::normal(), 101, kContext), State::unknown(Interruption::invalidClock))
        << "clock went back";
    EXPECT_EQ(c.observe(Obs::normal(), 102, kContext), State::unknown(Interruption::invalidClock))
        << "not after the last tick";
    EXPECT_EQ(c.observe(Obs::normal(), NAN, kContext), State::unknown(Interruption::invalidClock));
    EXPECT_EQ(c.observe(Obs::normal(), -1, kContext), State::unknown(Interruption::invalidClock));
    // A step beyond the maximum gap clears the run; the sample still counts as the start of a new one.
    EXPECT_EQ(c.observe(Obs::normal(), 120, kContext), State::confirmingNormal());
    EXPECT_EQ(c.normalSamples, 1);
    // Read between samples: stale data is a gap.
    EXPECT_EQ(c.currentState(125), State::confirmingNormal());
    EXPECT_EQ(c.currentState(131), State::unknown(Interruption::gap));
    EXPECT_EQ(c.currentState(130), State::unknown(Interruption::invalidClock)) << "reading back in time";
    // A different context starts from scratch.
    Continuity::Context other = kContext;
    other.session = QUuid::createUuid();
    EXPECT_EQ(c.observe(Obs::normal(), 140, other), State::unknown(Interruption::contextChanged));
    EXPECT_FALSE(c.hasObservedSignal);
    EXPECT_EQ(c.observe(Obs::unavailable(), 142, other), State::unknown(Interruption::unavailable));
}

TEST(HealthObservationMonitor, InvalidInputsResetWithAGap) {
    struct Case {
        const char* name;
        double interval, started, tick;
        double ageSeconds;
        bool valid;
    } cases[] = {
        {"fine at 2 s", 2, 100, 101, 1, true},
        {"interval 0.5", 0.5, 100, 101, 1, false},
        {"interval 31", 31, 100, 101, 1, false},
        {"tick before started", 2, 100, 99, 1, false},
        {"refresh longer than the window (10 s at 2 s)", 2, 100, 110.5, 1, false},
        {"snapshot from the future", 2, 100, 101, -3, false},
        {"window 15 s at 5 s: 16 s old", 5, 100, 101, 16, false},
        {"window 15 s at 5 s: 14 s old", 5, 100, 101, 14, true},
        {"negative start", 2, -1, 1, 1, false},
    };
    for (const auto& c : cases) {
        HealthObservationMonitor monitor;
        const SystemSnapshot s = snapshotAt(0, 0.5);
        monitor.receive(s, PersonalBaseline::empty(), c.interval, c.started, c.tick,
                        s.timestamp.addingSeconds(c.ageSeconds));
        EXPECT_EQ(!monitor.policies().empty(), c.valid) << c.name;
        if (!c.valid) {
            EXPECT_EQ(monitor.state(HealthInsightKind::cpu, c.tick), State::unknown(Interruption::gap))
                << c.name;
        }
    }

    HealthObservationMonitor monitor;
    const SystemSnapshot s = snapshotAt(0, 0.5);
    monitor.receive(s, PersonalBaseline::empty(), 2, 0, 0.5, s.timestamp);
    monitor.receive(s, PersonalBaseline::empty(), 2, 2, 2.5, s.timestamp.addingSeconds(2));
    EXPECT_TRUE(monitor.policies().empty()) << "the same snapshot twice resets";
}

TEST(HealthObservationMonitor, ContextRebuildsAndKindsOutsideTheObservation) {
    HealthObservationMonitor monitor;
    double t = 0;
    const auto feed = [&](SystemSnapshot s) {
        t += 2;
        s.timestamp = kStart.addingSeconds(t);
        monitor.receive(s, PersonalBaseline::empty(), 2, t - 0.5, t, s.timestamp);
    };
    feed(snapshotAt(0, 0.95));
    EXPECT_EQ(monitor.state(HealthInsightKind::cpu, t), State::elevated(Continuity::Severity::attention));
    const QUuid session = monitor.session();
    // A baseline that changes no threshold keeps the observation.
    feed(snapshotAt(0, 0.5));
    EXPECT_EQ(monitor.session(), session);
    EXPECT_EQ(monitor.state(HealthInsightKind::cpu, t), State::confirmingNormal());
    // Unplugging the adapter is a new context: the high sample is forgotten.
    SystemSnapshot unplugged = snapshotAt(0, 0.5);
    unplugged.battery.isConnectedToPowerAdapter = false;
    feed(unplugged);
    EXPECT_NE(monitor.session(), session);
    EXPECT_EQ(monitor.state(HealthInsightKind::cpu, t), State::unknown(Interruption::contextChanged));
    EXPECT_EQ(monitor.state(HealthInsightKind::thermal, t), State::unknown(Interruption::contextChanged));
    EXPECT_EQ(monitor.state(HealthInsightKind::disk, t), State::unknown(Interruption::unavailable));
    monitor.reset(Interruption::sleep);
    EXPECT_EQ(monitor.state(HealthInsightKind::memory, t), State::unknown(Interruption::sleep));
}

TEST(HealthObservationAdapter, FrozenThresholds) {
    PersonalBaseline personal;
    personal.confidence = BaselineConfidence::early;
    personal.highCPUUsage = 0.70;
    personal.highMemoryUsage = 1.5; // out of range: no memory threshold
    personal.medianWiFiRSSI = -50;
    const auto adapter = HealthObservationAdapter::frozen(personal);
    EXPECT_DOUBLE_EQ(*adapter.cpuThreshold, 0.85);
    EXPECT_FALSE(adapter.memoryThreshold);
    EXPECT_EQ(adapter.wifiThreshold, -65);
    const auto learning = HealthObservationAdapter::frozen(PersonalBaseline::empty());
    EXPECT_EQ(learning.cpuThreshold, 0.90);
    EXPECT_EQ(learning.memoryThreshold, 0.95);
    EXPECT_EQ(learning.wifiThreshold, -72);
    EXPECT_TRUE(learning.hasSameThresholds(HealthObservationAdapter::frozen(PersonalBaseline::empty())));
    EXPECT_FALSE(learning.hasSameThresholds(adapter));
}

TEST(HealthObservationPresentation, RowsAndTheLeadRow) {
    using Tone = HealthObservationRow::Tone;
    const auto row = [](HealthInsightKind kind, State state) {
        return *HealthObservationPresentationPolicy::resolve(kind, state);
    };
    EXPECT_FALSE(HealthObservationPresentationPolicy::resolve(HealthInsightKind::disk, State::unknown()));
    EXPECT_EQ(row(HealthInsightKind::memory, State::elevated(Continuity::Severity::critical)).tone,
              Tone::critical);
    EXPECT_EQ(row(HealthInsightKind::memory, State::elevated(Continuity::Severity::critical)).detail,
              QStringLiteral("Son geçerli ölçümde kullanım eşik üzerinde. Bu, tek başına bellek baskısı veya "
                             "arıza demek değildir."));
    EXPECT_EQ(row(HealthInsightKind::cpu, State::unknown(Interruption::sleep)).detail,
              QStringLiteral("Uyku veya uyanma gözlemi kesti; yeni, kesintisiz ölçüm gerekiyor."));
    EXPECT_EQ(row(HealthInsightKind::cpu, State::unknown()).detail,
              QStringLiteral("Bu ölçüm oturumunda karşılaştırılabilir yüksek sinyal henüz gözlenmedi."));

    const auto observed = State::normalObserved();
    const auto lead = [](std::vector<HealthObservationRow> rows) {
        return HealthNextStepPolicy::primaryRow(rows);
    };
    EXPECT_FALSE(lead({row(HealthInsightKind::cpu, observed), row(HealthInsightKind::memory, observed)}));
    EXPECT_EQ(lead({row(HealthInsightKind::cpu, observed), row(HealthInsightKind::memory, observed),
                    row(HealthInsightKind::thermal, observed)})
                  ->kind,
              HealthInsightKind::thermal);
    EXPECT_EQ(lead({row(HealthInsightKind::thermal, State::confirmingNormal()),
                    row(HealthInsightKind::cpu, State::elevated(Continuity::Severity::attention))})
                  ->kind,
              HealthInsightKind::cpu);
    EXPECT_FALSE(lead({}));
}

namespace {

// Feeds a monitor at a fixed interval: `elevatedFirst` high samples (for every observed kind), then
// normal ones. Answers the seconds from the first normal sample until `kind` is confirmed normal.
std::optional<double> secondsUntilConfirmed(HealthInsightKind kind, double interval, double step) {
    HealthObservationMonitor monitor;
    double t = 0;
    const auto feed = [&](double cpu, double memoryUsed, ThermalLevel thermal) {
        SystemSnapshot s = snapshotAt(t, cpu, thermal);
        s.memory.usedBytes = static_cast<uint64_t>(memoryUsed * 100);
        monitor.receive(s, PersonalBaseline::empty(), interval, t, t + 0.5, s.timestamp);
    };
    feed(0.95, 0.97, ThermalLevel::fair);
    const double firstNormal = t += step;
    for (; t < firstNormal + 600; t += step) {
        feed(0.2, 0.5, ThermalLevel::nominal);
        if (monitor.state(kind, t + 0.5) == State::normalObserved())
            return t - firstNormal;
    }
    return std::nullopt;
}

} // namespace

TEST(HealthObservationMonitor, EachKindIsObservedAtItsOwnLevels) {
    struct Case {
        const char* name;
        HealthInsightKind kind;
        double cpu;
        double memory;
        ThermalLevel thermal;
        State expected;
    } cases[] = {
        {"thermal nominal: nothing seen", HealthInsightKind::thermal, 0.2, 0.5, ThermalLevel::nominal,
         State::unknown(Interruption::contextChanged)},
        {"thermal fair", HealthInsightKind::thermal, 0.2, 0.5, ThermalLevel::fair,
         State::elevated(Continuity::Severity::attention)},
        {"thermal serious", HealthInsightKind::thermal, 0.2, 0.5, ThermalLevel::serious,
         State::elevated(Continuity::Severity::critical)},
        {"thermal critical", HealthInsightKind::thermal, 0.2, 0.5, ThermalLevel::critical,
         State::elevated(Continuity::Severity::critical)},
        {"thermal unreadable", HealthInsightKind::thermal, 0.2, 0.5, ThermalLevel::unavailable,
         State::unknown(Interruption::unavailable)},
        {"cpu just below", HealthInsightKind::cpu, 0.899, 0.5, ThermalLevel::nominal,
         State::unknown(Interruption::contextChanged)},
        {"cpu at the threshold", HealthInsightKind::cpu, 0.90, 0.5, ThermalLevel::nominal,
         State::elevated(Continuity::Severity::attention)},
        {"cpu critical", HealthInsightKind::cpu, 0.97, 0.5, ThermalLevel::nominal,
         State::elevated(Continuity::Severity::critical)},
        {"memory at the threshold", HealthInsightKind::memory, 0.2, 0.95, ThermalLevel::nominal,
         State::elevated(Continuity::Severity::attention)},
    };
    for (const Case& c : cases) {
        HealthObservationMonitor monitor;
        SystemSnapshot s = snapshotAt(0, c.cpu, c.thermal);
        s.memory.usedBytes = static_cast<uint64_t>(c.memory * 100 + 0.5);
        monitor.receive(s, PersonalBaseline::empty(), 2, 0, 0.1, s.timestamp);
        EXPECT_EQ(monitor.state(c.kind, 0.1), c.expected) << c.name;
    }
}

TEST(HealthObservationMonitor, ConfirmationNeedsItsDurationFiveSamplesAndNoGap) {
    struct Case {
        const char* name;
        HealthInsightKind kind;
        double interval;
        double step; // seconds between samples
        std::optional<double> confirmedAfter;
    } cases[] = {
        {"cpu at 2 s", HealthInsightKind::cpu, 2, 2, 120},
        {"thermal at 2 s", HealthInsightKind::thermal, 2, 2, 120},
        {"memory at 2 s", HealthInsightKind::memory, 2, 2, 180},
        // At 30 s the window is 65 s: samples 60 s apart still count, but the fifth comes only at 240 s.
        {"cpu, samples 60 s apart at 30 s", HealthInsightKind::cpu, 30, 60, 240},
        // At 2 s the window is 10 s: samples 10.5 s apart are gaps, so nothing is ever confirmed.
        {"cpu, samples 10.5 s apart at 2 s", HealthInsightKind::cpu, 2, 10.5, std::nullopt},
        {"cpu, samples 10 s apart at 2 s", HealthInsightKind::cpu, 2, 10, 120},
    };
    for (const Case& c : cases)
        EXPECT_EQ(secondsUntilConfirmed(c.kind, c.interval, c.step), c.confirmedAfter) << c.name;
}
