#include "MetricFigure.h"

#include <cmath>

namespace kestrum {

MetricFigure::MetricFigure(QString title, qreal maximum, QObject* parent)
    : QObject(parent), m_title(std::move(title)), m_maximum(maximum) {}

QString MetricFigure::accessibleText() const {
    return m_caption.isEmpty() ? m_title + QStringLiteral(": ") + m_value
                               : m_title + QStringLiteral(": ") + m_value + QStringLiteral(", ") + m_caption;
}

void MetricFigure::set(const QString& value, const QString& caption, QList<qreal> series) {
    if (value != m_value) {
        m_value = value;
        Q_EMIT valueChanged();
    }
    if (caption != m_caption) {
        m_caption = caption;
        Q_EMIT captionChanged();
    }
    // NaN gaps never compare equal: compare them as gaps.
    const auto same = [](const QList<qreal>& a, const QList<qreal>& b) {
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (a[i] != b[i] && !(std::isnan(a[i]) && std::isnan(b[i])))
                return false;
        }
        return true;
    };
    if (!same(series, m_series)) {
        m_series = std::move(series);
        Q_EMIT seriesChanged();
    }
}

QList<qreal> seriesOf(const std::vector<SystemSnapshot>& history, size_t length,
                      const std::function<std::optional<double>(const SystemSnapshot&)>& value) {
    QList<qreal> out;
    const size_t start = history.size() > length ? history.size() - length : 0;
    out.reserve(static_cast<qsizetype>(history.size() - start));
    for (size_t i = start; i < history.size(); ++i) {
        const auto v = value(history[i]);
        out.append(v && std::isfinite(*v) ? *v : std::nan(""));
    }
    return out;
}

namespace SnapshotSeries {

std::optional<double> cpuUsage(const SystemSnapshot& s) {
    return s.cpu.availability.isAvailable() ? std::optional(s.cpu.totalUsage) : std::nullopt;
}

std::optional<double> memoryUsage(const SystemSnapshot& s) {
    return s.memory.availability.isAvailable() && s.memory.totalBytes > 0
               ? std::optional(double(s.memory.usedBytes) / double(s.memory.totalBytes))
               : std::nullopt;
}

std::optional<double> downloadRate(const SystemSnapshot& s) {
    return s.network.trafficAvailability.isAvailable() && s.network.isConnected
               ? std::optional(s.network.downloadBytesPerSecond)
               : std::nullopt;
}

std::optional<double> uploadRate(const SystemSnapshot& s) {
    return s.network.trafficAvailability.isAvailable() && s.network.isConnected
               ? std::optional(s.network.uploadBytesPerSecond)
               : std::nullopt;
}

std::optional<double> batteryCharge(const SystemSnapshot& s) {
    return s.battery.availability.isAvailable() && s.battery.isPresent ? s.battery.chargeFraction
                                                                       : std::nullopt;
}

} // namespace SnapshotSeries

} // namespace kestrum
