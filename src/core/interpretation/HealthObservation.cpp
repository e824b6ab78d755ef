#include "HealthObservation.h"

#include "HealthInsightEngine.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace kestrum {

using Continuity = HealthObservationContinuity;
using State = Continuity::State;
using Observation = Continuity::Observation;

HealthObservationAdapter HealthObservationAdapter::frozen(const PersonalBaseline& baseline) {
    HealthObservationAdapter adapter;
    adapter.comparison = QUuid::createUuid();
    const bool personal = baseline.confidence != BaselineConfidence::learning;
    const auto personalThreshold = [&](const std::optional<double>& field, double fixed, double add,
                                       double low, double high) -> std::optional<double> {
        if (!field || !personal)
            return fixed;
        if (!std::isfinite(*field) || *field < 0 || *field > 1)
            return std::nullopt;
        return std::clamp(*field + add, low, high);
    };
    adapter.cpuThreshold = personalThreshold(baseline.highCPUUsage, 0.90, 0.15, 0.80, 0.90);
    adapter.memoryThreshold = personalThreshold(baseline.highMemoryUsage, 0.95, 0.10, 0.85, 0.95);
    if (baseline.medianWiFiRSSI && personal &&
        (!std::isfinite(*baseline.medianWiFiRSSI) || *baseline.medianWiFiRSSI < -127 ||
         *baseline.medianWiFiRSSI > -1))
        adapter.wifiThreshold = std::nullopt;
    else
        adapter.wifiThreshold = HealthInsightEngine::wifiThreshold(baseline);
    return adapter;
}

bool HealthObservationAdapter::hasSameThresholds(const HealthObservationAdapter& other) const {
    return cpuThreshold == other.cpuThreshold && memoryThreshold == other.memoryThreshold &&
           wifiThreshold == other.wifiThreshold;
}

Observation observationFor(HealthInsightKind kind, const SystemSnapshot& snapshot,
                           const HealthObservationAdapter& adapter) {
    using Severity = Continuity::Severity;
    switch (kind) {
    case HealthInsightKind::thermal:
        switch (snapshot.thermal) {
        case ThermalLevel::nominal:
            return Observation::normal();
        case ThermalLevel::fair:
            return Observation::elevated(Severity::attention);
        case ThermalLevel::serious:
        case ThermalLevel::critical:
            return Observation::elevated(Severity::critical);
        case ThermalLevel::unavailable:
            break;
        }
        return Observation::unavailable();
    case HealthInsightKind::cpu: {
        const CPUStats& cpu = snapshot.cpu;
        if (!cpu.availability.isAvailable() || !std::isfinite(cpu.totalUsage) || cpu.totalUsage < 0 ||
            cpu.totalUsage > 1 || !adapter.cpuThreshold)
            return Observation::unavailable();
        if (cpu.totalUsage >= *adapter.cpuThreshold)
            return Observation::elevated(cpu.totalUsage >= 0.97 ? Severity::critical : Severity::attention);
        return Observation::normal();
    }
    case HealthInsightKind::memory: {
        const MemoryStats& memory = snapshot.memory;
        if (!memory.availability.isAvailable() || memory.totalBytes == 0 ||
            memory.usedBytes > memory.totalBytes || !adapter.memoryThreshold)
            return Observation::unavailable();
        if (clampedUnit(double(memory.usedBytes) / double(memory.totalBytes)) >= *adapter.memoryThreshold)
            return Observation::elevated(Severity::attention);
        return Observation::normal();
    }
    case HealthInsightKind::disk: {
        const DiskStats& disk = snapshot.disk;
        if (!disk.availability.isAvailable() || disk.totalBytes == 0 || disk.availableBytes > disk.totalBytes)
            return Observation::unavailable();
        const double free = double(disk.availableBytes) / double(disk.totalBytes);
        if (free >= 0.15)
            return Observation::normal();
        return Observation::elevated(free < 0.05 ? Severity::critical : Severity::attention);
    }
    case HealthInsightKind::battery: {
        const BatteryStats& battery = snapshot.battery;
        if (!battery.availability.isAvailable() || !battery.isPresent || !battery.healthCondition)
            return Observation::unavailable();
        const QString condition = battery.healthCondition->trimmed().toLower();
        if (condition.isEmpty())
            return Observation::unavailable();
        if (condition == u"good" || condition == u"normal")
            return Observation::normal();
        return Observation::elevated(Severity::attention);
    }
    case HealthInsightKind::wifi: {
        const NetworkStats& network = snapshot.network;
        if (!network.pathAvailability.isAvailable() || !network.isConnected)
            return Observation::unavailable();
        if (network.interfaceKind != NetworkInterfaceKind::wifi || !network.wifiRSSI ||
            *network.wifiRSSI < -127)
            return Observation::unavailable();
        if (!adapter.wifiThreshold)
            return Observation::unavailable();
        if (*network.wifiRSSI < *adapter.wifiThreshold)
            return Observation::elevated(*network.wifiRSSI < -82 ? Severity::critical : Severity::attention);
        return Observation::normal();
    }
    case HealthInsightKind::network:
        break;
    }
    return Observation::unavailable();
}

void Continuity::clearNormalRun() {
    normalStart.reset();
    normalSamples = 0;
}

State Continuity::observe(const Observation& observation, double clock, const Context& newContext) {
    if (!std::isfinite(clock) || clock < 0) {
        clearNormalRun();
        state = State::unknown(Interruption::invalidClock);
        return state;
    }
    if (!context || *context != newContext) {
        context = newContext;
        lastTick.reset();
        latestClock.reset();
        normalStart.reset();
        normalSamples = 0;
        hasObservedSignal = false;
        state = State::unknown(Interruption::contextChanged);
    }
    if (latestClock && *latestClock > clock) {
        clearNormalRun();
        state = State::unknown(Interruption::invalidClock);
        return state;
    }
    latestClock = clock;
    if (lastTick) {
        if (!(clock > *lastTick)) {
            clearNormalRun();
            state = State::unknown(Interruption::invalidClock);
            return state;
        }
        if (clock - *lastTick > requirements.maximumGap) {
            clearNormalRun();
            state = State::unknown(Interruption::gap);
        }
    }
    lastTick = clock;
    switch (observation.kind) {
    case Observation::Kind::elevated:
        clearNormalRun();
        hasObservedSignal = true;
        state = State::elevated(observation.severity);
        break;
    case Observation::Kind::unavailable:
        clearNormalRun();
        state = State::unknown(observation.interruption);
        break;
    case Observation::Kind::normal:
        if (!hasObservedSignal)
            break;
        if (!normalStart)
            normalStart = clock;
        if (normalSamples < requirements.minimumSamples)
            ++normalSamples;
        state = normalSamples >= requirements.minimumSamples &&
                        clock - *normalStart >= requirements.minimumDuration
                    ? State::normalObserved()
                    : State::confirmingNormal();
        break;
    }
    return state;
}

State Continuity::currentState(double clock) {
    if (!std::isfinite(clock) || clock < 0 || (latestClock && clock < *latestClock)) {
        clearNormalRun();
        return State::unknown(Interruption::invalidClock);
    }
    latestClock = clock;
    if (lastTick && *lastTick > clock) {
        state = State::unknown(Interruption::invalidClock);
    } else if (lastTick && clock - *lastTick > requirements.maximumGap) {
        clearNormalRun();
        state = State::unknown(Interruption::gap);
    }
    return state;
}

void HealthObservationMonitor::reset(Interruption why) {
    m_policies.clear();
    m_adapter.reset();
    m_source.reset();
    m_session = QUuid::createUuid();
    m_interruption = why;
}

void HealthObservationMonitor::receive(const SystemSnapshot& snapshot, const PersonalBaseline& baseline,
                                       double interval, double started, double tick, Date now) {
    const double window = std::max(2 * interval + 5, 10.0);
    const double age = now.secondsSince(snapshot.timestamp);
    const bool invalid = !std::isfinite(interval) || interval < 1 || interval > 30 || !std::isfinite(tick) ||
                         !std::isfinite(started) || started < 0 || tick < started ||
                         tick - started > window || !std::isfinite(age) || age < -2 || age > window ||
                         (m_lastID && *m_lastID == snapshot.id) ||
                         (m_lastDate && !(snapshot.timestamp > *m_lastDate));
    if (invalid) {
        reset(Interruption::gap);
        return;
    }
    m_lastID = snapshot.id;
    m_lastDate = snapshot.timestamp;
    const HealthObservationAdapter candidate = HealthObservationAdapter::frozen(baseline);
    const Source source{static_cast<int>(snapshot.cpu.perCoreUsage.size()), snapshot.memory.totalBytes,
                        snapshot.battery.isConnectedToPowerAdapter, interval};
    if (!m_adapter || !m_adapter->hasSameThresholds(candidate) || !m_source || *m_source != source) {
        m_policies.clear();
        m_session = QUuid::createUuid();
        m_interruption = Interruption::contextChanged;
        m_adapter = candidate;
        m_source = source;
        for (const HealthInsightKind kind : kObservedKinds) {
            HealthObservationContinuity continuity;
            continuity.requirements = {kind == HealthInsightKind::memory ? 180.0 : 120.0, window, 5};
            m_policies.emplace(kind, continuity);
        }
    }
    for (const HealthInsightKind kind : kObservedKinds) {
        const auto it = m_policies.find(kind);
        if (it == m_policies.end())
            continue;
        const Continuity::Context context{kind, QStringLiteral("r05-observation-") + rawValue(kind),
                                          m_session, m_adapter->comparison};
        it->second.observe(observationFor(kind, snapshot, *m_adapter), tick, context);
    }
}

State HealthObservationMonitor::state(HealthInsightKind kind, double clock) {
    if (std::find(std::begin(kObservedKinds), std::end(kObservedKinds), kind) == std::end(kObservedKinds))
        return State::unknown(Interruption::unavailable);
    const auto it = m_policies.find(kind);
    if (it == m_policies.end())
        return State::unknown(m_interruption);
    return it->second.currentState(clock);
}

namespace HealthObservationPresentationPolicy {

std::optional<HealthObservationRow> resolve(HealthInsightKind kind, const State& state) {
    HealthObservationRow row;
    row.kind = kind;
    row.state = state;
    switch (kind) {
    case HealthInsightKind::cpu:
        row.title = L10n::string(trText("İşlemci kullanımı"));
        break;
    case HealthInsightKind::memory:
        row.title = L10n::string(trText("Bellek kullanımı"));
        break;
    case HealthInsightKind::thermal:
        row.title = L10n::string(trText("Isıl durum"));
        break;
    default:
        return std::nullopt;
    }
    const QString notComparable = L10n::string(trText("Karşılaştırılamıyor"));
    using Kind = State::Kind;
    using Tone = HealthObservationRow::Tone;
    switch (state.kind) {
    case Kind::elevated:
        row.tone = state.severity == Continuity::Severity::critical ? Tone::critical : Tone::attention;
        row.status = L10n::string(trText("Sinyal yüksek"));
        row.detail =
            kind == HealthInsightKind::memory
                ? L10n::string(trText("Son geçerli ölçümde kullanım eşik üzerinde. Bu, tek başına bellek "
                                      "baskısı veya arıza demek değildir."))
                : L10n::string(trText(
                      "Son geçerli ölçümde sinyal eşik üzerinde. Bu, tek başına arıza teşhisi değildir."));
        return row;
    case Kind::confirmingNormal:
        row.tone = Tone::observing;
        row.status = L10n::string(trText("Eşik altında; gözlem sürüyor"));
        row.detail = L10n::string(trText(
            "Yüksek sinyalden sonraki ölçümler eşik altında; doğrulama penceresi henüz tamamlanmadı."));
        return row;
    case Kind::normalObserved:
        row.tone = Tone::observed;
        row.status = L10n::string(trText("Gözlem boyunca eşik altında"));
        row.detail = L10n::string(trText("Yüksek sinyalden sonra yeterli, kesintisiz ölçüm eşik altında "
                                         "kaldı. Bu, onarım kanıtı değildir."));
        return row;
    case Kind::unknown:
        break;
    }
    row.tone = Tone::neutral;
    row.status = notComparable;
    switch (state.interruption.value_or(Continuity::Interruption::contextChanged)) {
    case Continuity::Interruption::unavailable:
    case Continuity::Interruption::samplingFailed:
        row.detail = L10n::string(trText("Gerekli ölçüm alınamıyor; veri eksikliği düzelme değildir."));
        break;
    case Continuity::Interruption::sleep:
        row.detail =
            L10n::string(trText("Uyku veya uyanma gözlemi kesti; yeni, kesintisiz ölçüm gerekiyor."));
        break;
    case Continuity::Interruption::monitoringStopped:
        row.detail = L10n::string(trText("Canlı izleme kapalı; önceki gözlem sonucu güncel sayılmaz."));
        break;
    case Continuity::Interruption::gap:
    case Continuity::Interruption::invalidClock:
        row.detail =
            L10n::string(trText("Ölçüm aralığı kesildi veya veri eskidi; önceki sonuç güncel değil."));
        break;
    case Continuity::Interruption::contextChanged:
        row.detail =
            L10n::string(trText("Bu ölçüm oturumunda karşılaştırılabilir yüksek sinyal henüz gözlenmedi."));
        break;
    }
    return row;
}

} // namespace HealthObservationPresentationPolicy

namespace HealthNextStepPolicy {

std::optional<HealthObservationRow> primaryRow(const std::vector<HealthObservationRow>& rows) {
    const auto stateRank = [](const State& s) {
        switch (s.kind) {
        case State::Kind::elevated:
            return s.severity == Continuity::Severity::critical ? 0 : 1;
        case State::Kind::unknown:
            return 2;
        case State::Kind::confirmingNormal:
            return 3;
        case State::Kind::normalObserved:
            return 4;
        }
        return 2;
    };
    const auto kindRank = [](HealthInsightKind k) {
        return k == HealthInsightKind::thermal ? 0 : k == HealthInsightKind::cpu ? 1 : 2;
    };
    std::vector<HealthObservationRow> kept;
    for (const auto& row : rows) {
        if (row.kind == HealthInsightKind::cpu || row.kind == HealthInsightKind::memory ||
            row.kind == HealthInsightKind::thermal)
            kept.push_back(row);
    }
    std::stable_sort(kept.begin(), kept.end(), [&](const auto& a, const auto& b) {
        return 10 * stateRank(a.state) + kindRank(a.kind) < 10 * stateRank(b.state) + kindRank(b.kind);
    });
    if (kept.empty())
        return std::nullopt;
    if (kept.front().state.kind != State::Kind::normalObserved)
        return kept.front();
    std::set<HealthInsightKind> kinds;
    for (const auto& row : kept)
        kinds.insert(row.kind);
    if (kinds.size() == 3)
        return kept.front();
    return std::nullopt;
}

} // namespace HealthNextStepPolicy

} // namespace kestrum
