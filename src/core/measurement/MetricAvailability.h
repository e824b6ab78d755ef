#pragma once

#include <QString>

namespace kestrum {

// Whether a metric group could be read and, when not, why (a Turkish sentence the user sees).
struct MetricAvailability {
    enum class State { permissionRequired, unavailable, available };

    State state = State::available;
    QString reason;

    static MetricAvailability available() { return {State::available, {}}; }
    static MetricAvailability unavailable(QString reason) { return {State::unavailable, std::move(reason)}; }
    static MetricAvailability permissionRequired(QString reason) {
        return {State::permissionRequired, std::move(reason)};
    }

    bool isAvailable() const { return state == State::available; }
    bool operator==(const MetricAvailability&) const = default;
};

} // namespace kestrum
