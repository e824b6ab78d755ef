#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"
#include "measurement/SystemSnapshot.h"

#include <QUuid>
#include <optional>
#include <vector>

namespace kestrum {

enum class ProcessorComparisonPhase { idle, baseline, awaitingAction, measuring, finished, invalid };
enum class ProcessorComparisonResult { lower, similar, higher };
enum class ProcessorComparisonInvalidReason { interrupted, measurementGap, conditionsChanged, invalidSample };
// What the user did between the two windows.
enum class ProcessorComparisonAction { unspecified, observedOnly, pausedKnownTask };

template <> struct EnumTraits<ProcessorComparisonPhase> {
    static constexpr std::pair<ProcessorComparisonPhase, std::string_view> cases[] = {
        {ProcessorComparisonPhase::idle, "idle"},
        {ProcessorComparisonPhase::baseline, "baseline"},
        {ProcessorComparisonPhase::awaitingAction, "awaitingAction"},
        {ProcessorComparisonPhase::measuring, "measuring"},
        {ProcessorComparisonPhase::finished, "finished"},
        {ProcessorComparisonPhase::invalid, "invalid"},
    };
};
template <> struct EnumTraits<ProcessorComparisonResult> {
    static constexpr std::pair<ProcessorComparisonResult, std::string_view> cases[] = {
        {ProcessorComparisonResult::lower, "lower"},
        {ProcessorComparisonResult::similar, "similar"},
        {ProcessorComparisonResult::higher, "higher"},
    };
};
template <> struct EnumTraits<ProcessorComparisonInvalidReason> {
    static constexpr std::pair<ProcessorComparisonInvalidReason, std::string_view> cases[] = {
        {ProcessorComparisonInvalidReason::interrupted, "interrupted"},
        {ProcessorComparisonInvalidReason::measurementGap, "measurementGap"},
        {ProcessorComparisonInvalidReason::conditionsChanged, "conditionsChanged"},
        {ProcessorComparisonInvalidReason::invalidSample, "invalidSample"},
    };
};
template <> struct EnumTraits<ProcessorComparisonAction> {
    static constexpr std::pair<ProcessorComparisonAction, std::string_view> cases[] = {
        {ProcessorComparisonAction::unspecified, "unspecified"},
        {ProcessorComparisonAction::observedOnly, "observedOnly"},
        {ProcessorComparisonAction::pausedKnownTask, "pausedKnownTask"},
    };
};

// A saved comparison outcome, as the archive keeps it.
struct ProcessorComparisonRecord {
    static constexpr size_t kRetainedCount = 100;

    QUuid id;
    Date savedAt;
    ProcessorComparisonAction action = ProcessorComparisonAction::unspecified;
    std::optional<ProcessorComparisonResult> result;
    std::optional<ProcessorComparisonInvalidReason> invalidReason;
    std::optional<double> before;
    std::optional<double> after;

    // Either a reason and nothing else, or a result that agrees with two means within 0...1.
    bool isConsistent() const;
    // The records kept at a compaction: consistent, saved within [cutoff, now], the newest copy of each
    // id, at most 100 of the newest; oldest first.
    static std::vector<ProcessorComparisonRecord>
    retained(const std::vector<ProcessorComparisonRecord>& records, Date cutoff, Date now);
    bool operator==(const ProcessorComparisonRecord&) const = default;
};

// The guided before/after check of processor load in progress: a baseline window, the user's action,
// an after window, and the comparison of the two means. Lives in the store only; ticks are seconds on
// the store's continuous clock.
struct ProcessorComparison {
    struct Context {
        int cores = 0;
        std::optional<bool> power; // on the power adapter
        double interval = 0;       // seconds
        bool operator==(const Context&) const = default;
    };

    static constexpr double kMaximumPhaseSeconds = 300;
    static constexpr double kBaselineSeconds = 30;
    static constexpr double kAfterSeconds = 60;
    static constexpr int kMinimumSamples = 5;
    // Means closer than this count as similar.
    static constexpr double kDifference = 0.05;

    QUuid id;
    ProcessorComparisonPhase phase = ProcessorComparisonPhase::idle;
    std::optional<ProcessorComparisonResult> result;
    std::optional<ProcessorComparisonInvalidReason> invalidReason;
    std::optional<double> baselineMean;
    std::optional<double> afterMean;
    std::optional<Context> context;
    double phaseStart = 0;
    std::optional<double> lastTick;
    std::optional<Date> lastDate;
    std::optional<QUuid> lastID;
    double total = 0;
    int count = 0;
    std::optional<double> firstSampleTick;

    // lower below −0.05, higher above +0.05, else similar (d = after − before).
    static ProcessorComparisonResult outcome(double before, double after);

    bool isActive() const;
    // max(10 s, 2 × interval + 5 s); 10 s without a context.
    double gapLimit() const;
    // Starts over with a new id: the baseline window when the tick and the context are usable, else
    // invalid.
    void start(QUuid newID, const std::optional<Context>& startContext, double tick);
    void checkFreshness(double tick);
    // The user's action is done: from awaiting it, the after window begins (freshness checked first).
    // Answers whether it began.
    bool beginAfterWindow(double tick);
    // Monitoring stopped, the machine slept or a test started: an active or finished comparison no
    // longer stands.
    void interrupt();
    void dismiss();
    // One live sample: `started` and `now` are the ticks at which the refresh began and ended, `wallNow`
    // the wall clock now, `current` the conditions of this sample.
    // `thermalSignalOffered` false: the machine has no thermal reading at all (a virtual machine), so its
    // missing level is not a change of conditions.
    void receive(const SystemSnapshot& snapshot, const Context& current, double started, double now,
                 Date wallNow, bool thermalSignalOffered = true);

    // What to do next (Turkish), for the finished and invalid states; none otherwise.
    std::optional<QString> nextStep() const;
    // The record saving writes; none unless finished or invalid.
    std::optional<ProcessorComparisonRecord> record(ProcessorComparisonAction action, Date savedAt) const;

    bool operator==(const ProcessorComparison&) const = default;

private:
    void invalidate(ProcessorComparisonInvalidReason reason);
};

} // namespace kestrum
