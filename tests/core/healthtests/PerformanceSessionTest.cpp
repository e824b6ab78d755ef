#include "healthtests/PerformanceSession.h"

#include "healthtests/ProcessorComparison.h"

#include <gtest/gtest.h>
#include <limits>

namespace kestrum {
namespace {

const Date kStart{800000000};
const double nan = std::numeric_limits<double>::quiet_NaN();

// A sample with every group read, `seconds` after the start.
SystemSnapshot sample(double seconds, double cpu = 0.5, double memory = 0.25) {
    SystemSnapshot s = SystemSnapshot::empty(QUuid::createUuid(), kStart.addingSeconds(seconds));
    s.cpu.availability = MetricAvailability::available();
    s.cpu.totalUsage = cpu;
    s.memory.availability = MetricAvailability::available();
    s.memory.totalBytes = 1000;
    s.memory.usedBytes = static_cast<uint64_t>(memory * 1000);
    s.network.trafficAvailability = MetricAvailability::available();
    s.network.downloadBytesPerSecond = 1000;
    s.network.uploadBytesPerSecond = 100;
    s.thermal = ThermalLevel::nominal;
    return s;
}

// Every group unreadable (the network too: an empty snapshot counts as disconnected, which is a reading).
SystemSnapshot unreadable(double seconds) {
    SystemSnapshot s = SystemSnapshot::empty(QUuid::createUuid(), kStart.addingSeconds(seconds));
    s.network = NetworkStats::unavailable();
    return s;
}

SystemSnapshot withBattery(SystemSnapshot s, double charge, bool adapter = false) {
    s.battery.availability = MetricAvailability::available();
    s.battery.isPresent = true;
    s.battery.chargeFraction = charge;
    s.battery.isConnectedToPowerAdapter = adapter;
    return s;
}

TEST(PerformanceSession, Names) {
    const struct {
        QString requested, name;
    } cases[] = {
        {QStringLiteral("  Derleme \n"), QStringLiteral("Derleme")},
        {QStringLiteral(" \t\n "), QStringLiteral("Performans Oturumu")},
        {QString(100, u'a'), QString(80, u'a')},
        {QString(80, u'b'), QString(80, u'b')},
        // 79 letters and an emoji across the 80th place: never half a character.
        {QString(79, u'c') + QStringLiteral("😀😀"), QString(79, u'c')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PerformanceSession::sessionName(c.requested), c.name) << c.requested.toStdString();
}

TEST(PerformanceSession, RunningTotalsCountOnlyNewReadableSamples) {
    PerformanceSession s = PerformanceSession::start(QUuid::createUuid(), QStringLiteral("A"), sample(0));
    EXPECT_EQ(s.baseline.cpuUsage, 0.5);
    EXPECT_EQ(s.sampleCount, 0) << "the start is the baseline, not a counted sample";

    struct Step {
        const char* what;
        SystemSnapshot snapshot;
        bool counted;
    };
    SystemSnapshot hot = sample(4, 0.9, 0.75);
    hot.thermal = ThermalLevel::serious;
    SystemSnapshot noCPU = sample(6, 0.2, 0.5);
    noCPU.cpu.availability = MetricAvailability::unavailable(QStringLiteral("x"));
    SystemSnapshot cooler = sample(8, 0.1, 0.5);
    cooler.thermal = ThermalLevel::fair;
    SystemSnapshot badRates = sample(10, 0.3, 0.5);
    badRates.network.downloadBytesPerSecond = -5;
    badRates.network.uploadBytesPerSecond = nan;
    const Step steps[] = {
        {"first", sample(2, 0.5, 0.25), true},
        {"same moment again", sample(2, 1.0, 1.0), false},
        {"hot", hot, true},
        {"earlier than the last", sample(3, 1.0, 1.0), false},
        {"everything unreadable", unreadable(5), false},
        {"CPU unreadable", noCPU, true},
        {"cooler again", cooler, true},
        {"bad network rates", badRates, true},
    };
    for (const Step& step : steps)
        EXPECT_EQ(s.record(step.snapshot), step.counted) << step.what;

    EXPECT_EQ(s.sampleCount, 5);
    EXPECT_EQ(s.cpuSampleCount, 4);
    EXPECT_DOUBLE_EQ(s.averageCPUUsage().value_or(-1), (0.5 + 0.9 + 0.1 + 0.3) / 4);
    EXPECT_EQ(s.peakCPUUsage, 0.9);
    EXPECT_EQ(s.memorySampleCount, 5);
    EXPECT_DOUBLE_EQ(s.peakMemoryUsage.value_or(-1), 0.75);
    EXPECT_EQ(s.downloadSampleCount, 4) << "a negative rate is no reading";
    EXPECT_EQ(s.uploadSampleCount, 4);
    EXPECT_DOUBLE_EQ(s.averageDownloadBytesPerSecond().value_or(-1), 1000);
    EXPECT_EQ(s.highestThermalLevel, ThermalLevel::serious) << "the highest stays after it cools down";
    EXPECT_EQ(s.lastRecordedAt, kStart.addingSeconds(10));
}

TEST(PerformanceSession, AveragesAreAbsentWithoutReadings) {
    PerformanceSession s = PerformanceSession::start(QUuid::createUuid(), {}, sample(0));
    SystemSnapshot onlyThermal = unreadable(1);
    onlyThermal.thermal = ThermalLevel::nominal;
    EXPECT_TRUE(s.record(onlyThermal)) << "a thermal level alone is a reading";
    EXPECT_EQ(s.sampleCount, 1);
    EXPECT_FALSE(s.averageCPUUsage());
    EXPECT_FALSE(s.averageMemoryUsage());
    EXPECT_FALSE(s.averageUploadBytesPerSecond());
    EXPECT_FALSE(s.peakCPUUsage);
    EXPECT_EQ(s.highestThermalLevel, ThermalLevel::nominal);
}

TEST(PerformanceSession, FinishingAndBatteryChange) {
    PerformanceSession before =
        PerformanceSession::start(QUuid::createUuid(), QStringLiteral("Önce"), withBattery(sample(0), 0.9));
    before.record(withBattery(sample(2), 0.89));
    before.finish(withBattery(sample(4, 0.7), 0.85), kStart.addingSeconds(4));
    EXPECT_EQ(before.endedAt, kStart.addingSeconds(4));
    EXPECT_EQ(before.sampleCount, 2) << "the final sample is counted";
    ASSERT_TRUE(before.ending);
    EXPECT_EQ(before.ending->cpuUsage, 0.7);
    EXPECT_NEAR(before.batteryChange().value_or(1), -0.05, 1e-12);

    // Finishing twice changes nothing; recording after the end counts nothing.
    const PerformanceSession ended = before;
    before.finish(withBattery(sample(9), 0.1), kStart.addingSeconds(9));
    EXPECT_FALSE(before.record(sample(10)));
    EXPECT_EQ(before, ended);

    PerformanceSession after = PerformanceSession::start(QUuid::createUuid(), QStringLiteral("Sonra"),
                                                         withBattery(sample(100), 0.8));
    // A clock set back: the end is never before the start.
    after.finish(withBattery(sample(101), 0.78), kStart.addingSeconds(50));
    EXPECT_EQ(after.endedAt, kStart.addingSeconds(100));
    EXPECT_NEAR((PerformanceSessionComparison{before, after}.batteryChangeDelta().value_or(1)), 0.03, 1e-12);

    // No charge at either end, or no end at all: no delta, never a zero.
    PerformanceSession noBattery = PerformanceSession::start(QUuid::createUuid(), {}, sample(0));
    noBattery.finish(sample(3), kStart.addingSeconds(3));
    EXPECT_FALSE(noBattery.batteryChange());
    EXPECT_FALSE((PerformanceSessionComparison{before, noBattery}.batteryChangeDelta()));
    PerformanceSession running =
        PerformanceSession::start(QUuid::createUuid(), {}, withBattery(sample(0), 0.5));
    EXPECT_FALSE((PerformanceSessionComparison{running, before}.batteryChangeDelta()));
}

TEST(PerformanceSession, LeftOpenByAnEarlierRun) {
    PerformanceSession s = PerformanceSession::start(QUuid::createUuid(), {}, sample(0));
    s.record(sample(30));
    s.completeLeftOpen();
    EXPECT_EQ(s.endedAt, kStart.addingSeconds(30));
    EXPECT_FALSE(s.ending) << "what followed the last sample is unknown";
    PerformanceSession empty = PerformanceSession::start(QUuid::createUuid(), {}, sample(0));
    empty.completeLeftOpen();
    EXPECT_EQ(empty.endedAt, kStart);
}

// ---- Processor comparison

using Phase = ProcessorComparisonPhase;
using Reason = ProcessorComparisonInvalidReason;
using Result = ProcessorComparisonResult;
using Context = ProcessorComparison::Context;

const Context kContext{8, false, 2};

// Drives a comparison with one sample every `interval` seconds of the continuous clock, the wall clock
// moving with it.
struct Driver {
    ProcessorComparison comparison;
    double tick = 100;
    Context context = kContext;
    ThermalLevel thermal = ThermalLevel::nominal;
    bool thermalOffered = true;

    void start() { comparison.start(QUuid::createUuid(), context, tick); }
    void feed(double cpu, double interval = 2) {
        tick += interval;
        SystemSnapshot s = sample(tick, cpu);
        s.thermal = thermal;
        comparison.receive(s, context, tick - 0.1, tick, s.timestamp.addingSeconds(0.1), thermalOffered);
    }
    void feedFor(double seconds, double cpu) {
        const double end = tick + seconds;
        while (tick < end && comparison.isActive())
            feed(cpu);
    }
};

TEST(ProcessorComparison, FullRunAndVerdictBoundaries) {
    const struct {
        double before, after;
        Result result;
    } cases[] = {{0.5, 0.55, Result::similar}, {0.5, 0.5501, Result::higher}, {0.5, 0.45, Result::similar},
                 {0.5, 0.4499, Result::lower}, {0.9, 0.1, Result::lower},     {0.0, 1.0, Result::higher}};
    for (const auto& c : cases) {
        Driver d;
        d.start();
        ASSERT_EQ(d.comparison.phase, Phase::baseline);
        d.feedFor(30, c.before);
        // The first sample came 2 s after the start: the window closes 30 s after that one.
        ASSERT_EQ(d.comparison.phase, Phase::baseline) << "30 s must pass after the first sample";
        d.feed(c.before);
        ASSERT_EQ(d.comparison.phase, Phase::awaitingAction);
        EXPECT_NEAR(d.comparison.baselineMean.value_or(-1), c.before, 1e-12);
        d.feed(0.99); // while the user acts: taken in, not counted
        ASSERT_TRUE(d.comparison.beginAfterWindow(d.tick + 1));
        d.tick += 1;
        d.feedFor(62, c.after);
        ASSERT_EQ(d.comparison.phase, Phase::finished) << c.after;
        EXPECT_EQ(d.comparison.result, c.result) << c.before << " → " << c.after;
        EXPECT_NEAR(d.comparison.afterMean.value_or(-1), c.after, 1e-12);
        const auto record = d.comparison.record(ProcessorComparisonAction::pausedKnownTask, kStart);
        ASSERT_TRUE(record);
        EXPECT_TRUE(record->isConsistent()) << "what is saved survives the next compaction";
        EXPECT_TRUE(d.comparison.nextStep());
    }
}

TEST(ProcessorComparison, WhatEndsAComparison) {
    struct Case {
        const char* what;
        std::function<void(Driver&)> act;
        Reason reason;
    };
    const Case cases[] = {
        {"a warm machine",
         [](Driver& d) {
             d.feed(0.5);
             SystemSnapshot s = sample(d.tick + 2, 0.5);
             s.thermal = ThermalLevel::fair;
             d.tick += 2;
             d.comparison.receive(s, d.context, d.tick - 0.1, d.tick, s.timestamp);
         },
         Reason::conditionsChanged},
        {"the power adapter plugged in",
         [](Driver& d) {
             d.feed(0.5);
             d.context.power = true;
             d.feed(0.5);
         },
         Reason::conditionsChanged},
        {"the interval changed",
         [](Driver& d) {
             d.context.interval = 5;
             d.feed(0.5, 5);
         },
         Reason::conditionsChanged},
        {"a gap over 2 × 2 s + 5 s (at least 10 s)",
         [](Driver& d) {
             d.feed(0.5);
             d.feed(0.5, 10.5);
         },
         Reason::measurementGap},
        {"the same sample twice",
         [](Driver& d) {
             d.feed(0.5);
             d.tick += 2;
             SystemSnapshot s = sample(d.tick, 0.5);
             d.comparison.receive(s, d.context, d.tick - 0.1, d.tick, s.timestamp);
             d.tick += 2;
             d.comparison.receive(s, d.context, d.tick - 0.1, d.tick, s.timestamp.addingSeconds(2));
         },
         Reason::invalidSample},
        {"a stale sample",
         [](Driver& d) {
             d.tick += 2;
             SystemSnapshot s = sample(d.tick, 0.5);
             d.comparison.receive(s, d.context, d.tick - 0.1, d.tick, s.timestamp.addingSeconds(11));
         },
         Reason::invalidSample},
        {"a CPU reading out of range", [](Driver& d) { d.feed(1.2); }, Reason::invalidSample},
        {"an unreadable CPU", [](Driver& d) { d.feed(nan); }, Reason::invalidSample},
        {"monitoring stopped",
         [](Driver& d) {
             d.feed(0.5);
             d.comparison.interrupt();
         },
         Reason::interrupted},
    };
    for (const Case& c : cases) {
        Driver d;
        d.start();
        c.act(d);
        EXPECT_EQ(d.comparison.phase, Phase::invalid) << c.what;
        EXPECT_EQ(d.comparison.invalidReason, c.reason) << c.what;
        EXPECT_FALSE(d.comparison.result) << c.what;
        EXPECT_FALSE(d.comparison.baselineMean) << c.what;
        EXPECT_TRUE(d.comparison.nextStep()) << c.what;
        const auto record = d.comparison.record(ProcessorComparisonAction::unspecified, kStart);
        ASSERT_TRUE(record) << c.what;
        EXPECT_EQ(record->invalidReason, c.reason) << c.what;
        EXPECT_TRUE(record->isConsistent()) << c.what;
    }
}

TEST(ProcessorComparison, AMissingThermalLevelCountsOnlyWhereTheMachineHasOne) {
    // A virtual machine never reads a thermal level: its comparisons still finish. A machine that has one
    // and loses it has changed conditions.
    for (const bool offered : {false, true}) {
        Driver d;
        d.thermal = ThermalLevel::unavailable;
        d.thermalOffered = offered;
        d.start();
        d.feedFor(34, 0.5);
        if (offered) {
            EXPECT_EQ(d.comparison.phase, Phase::invalid);
            EXPECT_EQ(d.comparison.invalidReason, Reason::conditionsChanged);
            continue;
        }
        ASSERT_EQ(d.comparison.phase, Phase::awaitingAction);
        ASSERT_TRUE(d.comparison.beginAfterWindow(d.tick + 1));
        d.tick += 1;
        d.feedFor(62, 0.2);
        EXPECT_EQ(d.comparison.phase, Phase::finished);
        EXPECT_EQ(d.comparison.result, Result::lower);
    }
}

TEST(ProcessorComparison, GapLimitAndTheFiveMinuteCap) {
    const struct { double interval, limit; } limits[] = {{1, 10}, {2, 10}, {2.5, 10}, {5, 15}, {30, 65}};
    for (const auto& l : limits) {
        ProcessorComparison c;
        c.start(QUuid::createUuid(), Context{4, std::nullopt, l.interval}, 0);
        EXPECT_DOUBLE_EQ(c.gapLimit(), l.limit) << l.interval;
    }
    EXPECT_DOUBLE_EQ(ProcessorComparison{}.gapLimit(), 10);

    // Fresh samples keep coming, but the user takes more than five minutes to act.
    Driver slow;
    slow.start();
    slow.feedFor(32, 0.5);
    ASSERT_EQ(slow.comparison.phase, Phase::awaitingAction);
    const double waitingSince = slow.tick;
    while (slow.tick < waitingSince + 300)
        slow.feed(0.5);
    EXPECT_EQ(slow.comparison.phase, Phase::awaitingAction) << "exactly 300 s is still within";
    slow.feed(0.5);
    EXPECT_EQ(slow.comparison.phase, Phase::invalid);
    EXPECT_EQ(slow.comparison.invalidReason, Reason::measurementGap);
    EXPECT_FALSE(slow.comparison.beginAfterWindow(slow.tick));
}

TEST(ProcessorComparison, StartNeedsUsableConditions) {
    const struct {
        const char* what;
        std::optional<Context> context;
        double tick;
        Phase phase;
    } cases[] = {
        {"usable", kContext, 0, Phase::baseline},
        {"no context", std::nullopt, 0, Phase::invalid},
        {"no cores", Context{0, false, 2}, 0, Phase::invalid},
        {"interval too short", Context{4, false, 0.5}, 0, Phase::invalid},
        {"interval too long", Context{4, false, 31}, 0, Phase::invalid},
        {"negative tick", kContext, -1, Phase::invalid},
        {"tick not finite", kContext, nan, Phase::invalid},
    };
    for (const auto& c : cases) {
        ProcessorComparison comparison;
        comparison.start(QUuid::createUuid(), c.context, c.tick);
        EXPECT_EQ(comparison.phase, c.phase) << c.what;
    }
    // Before the baseline is done there is nothing to act on, and dismissing forgets everything.
    Driver d;
    d.start();
    d.feed(0.5);
    EXPECT_FALSE(d.comparison.beginAfterWindow(d.tick));
    EXPECT_EQ(d.comparison.phase, Phase::baseline);
    EXPECT_FALSE(d.comparison.record(ProcessorComparisonAction::unspecified, kStart));
    d.comparison.dismiss();
    EXPECT_EQ(d.comparison, ProcessorComparison{});
    EXPECT_FALSE(d.comparison.nextStep());
}

ProcessorComparisonRecord valid(double savedSecondsAgo, QUuid id = QUuid::createUuid()) {
    return {id,
            kStart.addingSeconds(-savedSecondsAgo),
            ProcessorComparisonAction::observedOnly,
            Result::lower,
            std::nullopt,
            0.6,
            0.2};
}

TEST(ProcessorComparisonRecord, ConsistencyAndRetention) {
    const auto r = [](std::optional<Result> result, std::optional<Reason> reason,
                      std::optional<double> before, std::optional<double> after) {
        return ProcessorComparisonRecord{QUuid::createUuid(),
                                         kStart,
                                         ProcessorComparisonAction::unspecified,
                                         result,
                                         reason,
                                         before,
                                         after};
    };
    const struct {
        const char* what;
        ProcessorComparisonRecord record;
        bool consistent;
    } cases[] = {
        {"finished", r(Result::similar, std::nullopt, 0.5, 0.55), true},
        {"result disagrees with the means", r(Result::lower, std::nullopt, 0.5, 0.55), false},
        {"mean out of range", r(Result::higher, std::nullopt, 0.5, 1.5), false},
        {"mean not finite", r(Result::similar, std::nullopt, 0.5, nan), false},
        {"no means", r(Result::similar, std::nullopt, std::nullopt, std::nullopt), false},
        {"invalid", r(std::nullopt, Reason::interrupted, std::nullopt, std::nullopt), true},
        {"invalid with a mean", r(std::nullopt, Reason::measurementGap, 0.4, std::nullopt), false},
        {"invalid with a result", r(Result::lower, Reason::measurementGap, std::nullopt, std::nullopt),
         false},
        {"neither", r(std::nullopt, std::nullopt, std::nullopt, std::nullopt), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.record.isConsistent(), c.consistent) << c.what;

    const Date cutoff = kStart.addingSeconds(-1000);
    std::vector<ProcessorComparisonRecord> records;
    for (int i = 0; i < 101; ++i)
        records.push_back(valid(101 - i)); // oldest first, the newest 1 s ago
    const QUuid repeated = records[50].id;
    records.push_back(valid(0.5, repeated)); // a newer copy of an id
    records.push_back(valid(1001));          // before the cutoff
    records.push_back(valid(-10));           // from the future
    ProcessorComparisonRecord broken = valid(0.2);
    broken.result = Result::higher;
    records.push_back(broken);
    const auto kept = ProcessorComparisonRecord::retained(records, cutoff, kStart);
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(kept.back().id, repeated) << "the newest copy stays, newest last";
    EXPECT_EQ(kept.back().savedAt, kStart.addingSeconds(-0.5));
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [&](const auto& k) { return k.id == repeated; }), 1);
    EXPECT_EQ(kept.front().id, records[1].id) << "the oldest gives way";
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(),
                               [](const auto& a, const auto& b) { return a.savedAt < b.savedAt; }));
}

} // namespace
} // namespace kestrum
