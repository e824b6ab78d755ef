#include "PersonalBaselineEngine.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <set>

namespace kestrum::PersonalBaselineEngine {

std::optional<double> percentile(std::vector<double> values, double p) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }),
                 values.end());
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    if (values.size() == 1)
        return values.front();
    p = std::isnan(p) ? 0.0 : std::clamp(p, 0.0, 1.0);
    const double position = p * double(values.size() - 1);
    const auto lower = static_cast<size_t>(std::floor(position));
    const auto upper = static_cast<size_t>(std::ceil(position));
    if (lower == upper)
        return values[lower];
    return values[lower] + (position - double(lower)) * (values[upper] - values[lower]);
}

std::vector<double> batteryDrainRates(const std::vector<const HealthSample*>& sortedSamples) {
    std::vector<double> rates;
    std::vector<const HealthSample*> session;
    const auto close = [&] {
        if (!session.empty()) {
            const HealthSample& first = *session.front();
            const HealthSample& last = *session.back();
            const double duration = last.timestamp.secondsSince(first.timestamp);
            const double drop = first.batteryCharge.value_or(0) - last.batteryCharge.value_or(0);
            if (duration >= 900 && drop >= 0.005) {
                const double rate = drop / (duration / 3600.0);
                if (std::isfinite(rate) && rate > 0 && rate <= 1.0)
                    rates.push_back(rate);
            }
        }
        session.clear();
    };
    for (const HealthSample* sample : sortedSamples) {
        const bool qualifies = sample->batteryIsCharging == false &&
                               sample->batteryUsesPowerAdapter != true && sample->batteryCharge.has_value();
        if (!qualifies) {
            close();
            continue;
        }
        if (!session.empty()) {
            const HealthSample& last = *session.back();
            const double gap = sample->timestamp.secondsSince(last.timestamp);
            const double lastCharge = last.batteryCharge.value_or(*sample->batteryCharge);
            if (gap <= 0 || gap > 600 || *sample->batteryCharge > lastCharge + 0.005)
                close();
        }
        session.push_back(sample);
    }
    close();
    return rates;
}

PersonalBaseline makeBaseline(const std::vector<HealthSample>& samples, Date now, double lookbackSeconds,
                              const QTimeZone& timeZone) {
    const Date windowStart = now.addingSeconds(-lookbackSeconds);
    std::vector<const HealthSample*> kept;
    kept.reserve(samples.size());
    for (const HealthSample& sample : samples) {
        if (sample.timestamp >= windowStart && sample.timestamp <= now)
            kept.push_back(&sample);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto* a, const auto* b) { return a->timestamp < b->timestamp; });

    PersonalBaseline baseline;
    baseline.generatedAt = now;
    baseline.sampleCount = static_cast<int>(kept.size());
    // Samples are sorted: a new local day is only looked up when a sample leaves the current one.
    std::set<qint64> days;
    Date dayStart{0};
    Date dayEnd{0};
    bool hasDay = false;
    std::vector<double> cpu;
    std::vector<double> memory;
    std::vector<double> rssi;
    for (const HealthSample* sample : kept) {
        if (!hasDay || sample->timestamp < dayStart || sample->timestamp >= dayEnd) {
            const QDate date = sample->timestamp.toDateTime().toTimeZone(timeZone).date();
            days.insert(date.toJulianDay());
            dayStart = Date::fromDateTime(QDateTime(date, QTime(0, 0), timeZone));
            dayEnd = Date::fromDateTime(QDateTime(date.addDays(1), QTime(0, 0), timeZone));
            hasDay = true;
        }
        if (sample->cpuUsage)
            cpu.push_back(*sample->cpuUsage);
        if (sample->memoryUsage)
            memory.push_back(*sample->memoryUsage);
        if (sample->wifiRSSI)
            rssi.push_back(double(*sample->wifiRSSI));
    }
    baseline.observedDayCount = static_cast<int>(days.size());
    baseline.medianCPUUsage = percentile(cpu, 0.5);
    baseline.highCPUUsage = percentile(cpu, 0.9);
    baseline.medianMemoryUsage = percentile(memory, 0.5);
    baseline.highMemoryUsage = percentile(memory, 0.9);
    baseline.medianWiFiRSSI = percentile(rssi, 0.5);
    baseline.medianBatteryDrainPerHour = percentile(batteryDrainRates(kept), 0.5);
    if (baseline.observedDayCount >= 7 && baseline.sampleCount >= 1000)
        baseline.confidence = BaselineConfidence::established;
    else if (baseline.sampleCount >= 240 && baseline.observedDayCount >= 3)
        baseline.confidence = BaselineConfidence::early;
    else
        baseline.confidence = BaselineConfidence::learning;
    return baseline;
}

} // namespace kestrum::PersonalBaselineEngine
