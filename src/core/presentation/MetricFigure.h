#pragma once

#include "measurement/SystemSnapshot.h"

#include <QList>
#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>
#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

// One headline figure of a section: its formatted value, a caption under it and its recent history
// for a sparkline. Each part notifies only when it changed.
class MetricFigure : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Figures are made by the view models.")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString value READ value NOTIFY valueChanged)
    Q_PROPERTY(QString caption READ caption NOTIFY captionChanged)
    Q_PROPERTY(QList<qreal> series READ series NOTIFY seriesChanged)
    Q_PROPERTY(qreal maximum READ maximum CONSTANT)
    Q_PROPERTY(QString accessibleText READ accessibleText NOTIFY valueChanged)

public:
    // `maximum`: the top of the sparkline's scale, or -1 for the largest value shown.
    MetricFigure(QString title, qreal maximum, QObject* parent = nullptr);

    QString title() const { return m_title; }
    QString value() const { return m_value; }
    QString caption() const { return m_caption; }
    const QList<qreal>& series() const { return m_series; }
    qreal maximum() const { return m_maximum; }
    QString accessibleText() const;

    void set(const QString& value, const QString& caption, QList<qreal> series);

Q_SIGNALS:
    void valueChanged();
    void captionChanged();
    void seriesChanged();

private:
    QString m_title;
    QString m_value;
    QString m_caption;
    QList<qreal> m_series;
    qreal m_maximum;
};

// A sparkline's values over the last `length` snapshots, NaN where a sample had no reading (a gap in
// the line, never a zero).
QList<qreal> seriesOf(const std::vector<SystemSnapshot>& history, size_t length,
                      const std::function<std::optional<double>(const SystemSnapshot&)>& value);

// How many points a sparkline shows (five minutes at the default interval).
inline constexpr size_t kSparklineLength = 150;

// The series the sections draw.
namespace SnapshotSeries {
std::optional<double> cpuUsage(const SystemSnapshot& s);
std::optional<double> memoryUsage(const SystemSnapshot& s);
std::optional<double> downloadRate(const SystemSnapshot& s);
std::optional<double> uploadRate(const SystemSnapshot& s);
std::optional<double> batteryCharge(const SystemSnapshot& s);
} // namespace SnapshotSeries

} // namespace kestrum
