#pragma once

// The observation path: whether a high signal is still present, is settling, or has been observed to
// stay low, with an explicit "not comparable" state for gaps, clock faults, sleep and context changes.

#include "PersonalBaseline.h"
#include "measurement/HealthInsightKind.h"
#include "measurement/SystemSnapshot.h"

#include <QUuid>
#include <map>
#include <optional>
#include <vector>

namespace kestrum {

// The thresholds frozen from one personal baseline.
struct HealthObservationAdapter {
    QUuid comparison; // fresh for every adapter
    std::optional<double> cpuThreshold;
    std::optional<double> memoryThreshold;
    std::optional<int> wifiThreshold;

    static HealthObservationAdapter frozen(const PersonalBaseline& baseline);
    bool hasSameThresholds(const HealthObservationAdapter& other) const;
};

struct HealthObservationContinuity {
    enum class Interruption {
        unavailable,
        sleep,
        monitoringStopped,
        samplingFailed,
        gap,
        invalidClock,
        contextChanged
    };
    enum class Severity { attention, critical };

    struct State {
        enum class Kind { unknown, elevated, confirmingNormal, normalObserved };
        Kind kind = Kind::unknown;
        std::optional<Interruption> interruption; // with unknown
        Severity severity = Severity::attention;  // with elevated

        static State unknown(std::optional<Interruption> why = std::nullopt) {
            return {Kind::unknown, why, Severity::attention};
        }
        static State elevated(Severity s) { return {Kind::elevated, std::nullopt, s}; }
        static State confirmingNormal() {
            return {Kind::confirmingNormal, std::nullopt, Severity::attention};
        }
        static State normalObserved() { return {Kind::normalObserved, std::nullopt, Severity::attention}; }
        bool operator==(const State&) const = default;
    };

    struct Observation {
        enum class Kind { elevated, unavailable, normal };
        Kind kind = Kind::normal;
        Severity severity = Severity::attention;
        Interruption interruption = Interruption::unavailable;

        static Observation elevated(Severity s) { return {Kind::elevated, s, Interruption::unavailable}; }
        static Observation unavailable(Interruption i = Interruption::unavailable) {
            return {Kind::unavailable, Severity::attention, i};
        }
        static Observation normal() { return {Kind::normal, Severity::attention, Interruption::unavailable}; }
        bool operator==(const Observation&) const = default;
    };

    struct Requirements {
        double minimumDuration = 0;
        double maximumGap = 0;
        int minimumSamples = 0;
    };

    struct Context {
        HealthInsightKind kind = HealthInsightKind::cpu;
        QString signature;
        QUuid session;
        QUuid comparison;
        bool operator==(const Context&) const = default;
    };

    Requirements requirements;
    std::optional<Context> context;
    std::optional<double> lastTick;
    std::optional<double> latestClock;
    std::optional<double> normalStart;
    int normalSamples = 0;
    bool hasObservedSignal = false;
    State state = State::unknown();

    State observe(const Observation& observation, double clock, const Context& context);
    State currentState(double clock);

private:
    void clearNormalRun();
};

// Judges one sample of one kind against the frozen thresholds.
HealthObservationContinuity::Observation observationFor(HealthInsightKind kind,
                                                        const SystemSnapshot& snapshot,
                                                        const HealthObservationAdapter& adapter);

class HealthObservationMonitor {
public:
    using Interruption = HealthObservationContinuity::Interruption;
    using State = HealthObservationContinuity::State;

    struct Source {
        int cores = 0;
        uint64_t memory = 0;
        std::optional<bool> power;
        double interval = 0;
        bool operator==(const Source&) const = default;
    };

    void receive(const SystemSnapshot& snapshot, const PersonalBaseline& baseline, double interval,
                 double started, double tick, Date now);
    State state(HealthInsightKind kind, double clock);
    // Empties the observation and starts a new session (the store's continuity resets).
    void reset(Interruption why);

    static constexpr HealthInsightKind kObservedKinds[] = {HealthInsightKind::cpu, HealthInsightKind::memory,
                                                           HealthInsightKind::thermal};

    const std::map<HealthInsightKind, HealthObservationContinuity>& policies() const { return m_policies; }
    std::optional<Interruption> interruption() const { return m_interruption; }
    QUuid session() const { return m_session; }

private:
    std::map<HealthInsightKind, HealthObservationContinuity> m_policies;
    std::optional<HealthObservationAdapter> m_adapter;
    std::optional<Source> m_source;
    QUuid m_session = QUuid::createUuid();
    std::optional<QUuid> m_lastID;
    std::optional<Date> m_lastDate;
    std::optional<Interruption> m_interruption;
};

// What the health centre shows for one observed kind.
struct HealthObservationRow {
    enum class Tone { neutral, attention, critical, observing, observed };
    HealthInsightKind kind = HealthInsightKind::cpu;
    HealthObservationContinuity::State state;
    QString title;  // localised
    QString status; // localised
    QString detail; // localised
    Tone tone = Tone::neutral;
    bool operator==(const HealthObservationRow&) const = default;
};

namespace HealthObservationPresentationPolicy {
std::optional<HealthObservationRow> resolve(HealthInsightKind kind,
                                            const HealthObservationContinuity::State& state);
} // namespace HealthObservationPresentationPolicy

namespace HealthNextStepPolicy {
// The row that leads the health centre; none when every row has settled but not all kinds are shown.
std::optional<HealthObservationRow> primaryRow(const std::vector<HealthObservationRow>& rows);
} // namespace HealthNextStepPolicy

} // namespace kestrum
