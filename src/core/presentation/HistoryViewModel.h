#pragma once

#include "KeyedListModel.h"
#include "SectionViewModel.h"
#include "foundation/Clocks.h"
#include "history/HistoryChartSegmenter.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QVariantList>
#include <memory>
#include <vector>

namespace kestrum {

// One chart of the history section, ready to draw: each recorded stretch of each series as its own line,
// already thinned to the plot's width, in fractions of the plot (x: 0 the range's start, 1 now; y: 0 the
// bottom, 1 the top), so that the drawing item only strokes what it is given.
class HistoryChart : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Charts are made by the history view model.")
    Q_PROPERTY(QString key READ key CONSTANT)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString topLabel READ topLabel NOTIFY changed)
    Q_PROPERTY(QString bottomLabel READ bottomLabel NOTIFY changed)
    Q_PROPERTY(QStringList seriesTitles READ seriesTitles NOTIFY changed)
    Q_PROPERTY(bool hasData READ hasData NOTIFY changed)
    Q_PROPERTY(int pointCount READ pointCount NOTIFY changed)

public:
    struct Line {
        int series = 0; // index into seriesTitles (colour)
        std::vector<std::pair<double, double>> points;
    };
    // An event (a tick) or a time range (a band) on the time axis, in fractions of the plot's width.
    struct Marker {
        double start = 0;
        double span = 0;
        HealthLevel level = HealthLevel::normal;
    };
    // What the hover reads: the drawn points of one series with their time and value.
    struct DrawnPoint {
        Date timestamp;
        double value = 0;
        QString segment;
    };

    explicit HistoryChart(QString key, QObject* parent = nullptr) : QObject(parent), m_key(std::move(key)) {}

    QString key() const { return m_key; }
    QString title() const { return m_content.title; }
    QString topLabel() const { return m_content.topLabel; }
    QString bottomLabel() const { return m_content.bottomLabel; }
    QStringList seriesTitles() const { return m_content.seriesTitles; }
    bool hasData() const { return !m_content.lines.empty(); }
    int pointCount() const;
    const std::vector<Line>& lines() const { return m_content.lines; }
    const std::vector<Marker>& markers() const { return m_content.markers; }

    // "14:05 · CPU %42" for the point under `fraction` of the plot's width, or that nothing was measured
    // there: a gap stays a gap under the pointer too.
    Q_INVOKABLE QString describe(qreal fraction) const;

    // Everything one rebuild gives the chart; `drawn` holds the same points as `lines`, with their time
    // and value, per series.
    struct Content {
        QString title;
        QString topLabel, bottomLabel;
        QStringList seriesTitles;
        std::vector<Line> lines;
        std::vector<std::vector<DrawnPoint>> drawn;
        std::vector<Marker> markers;
        Date from, to;
        double bucketSeconds = 0;
        std::function<QString(double)> valueText;
    };
    void set(Content content);

Q_SIGNALS:
    void changed();

private:
    QString m_key;
    Content m_content;
};

// The history section: the archive's charts for the chosen range (CPU, memory, battery, Wi-Fi signal,
// network throughput, thermal state), the health events, incidents and sessions marked on the time
// axis, and the last seven days' timeline beside them.
class HistoryViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(History)
    QML_SINGLETON
    Q_PROPERTY(QString range READ range WRITE setRange NOTIFY rangeChanged)
    Q_PROPERTY(QVariantList rangeChoices READ rangeChoices CONSTANT)
    Q_PROPERTY(int plotWidth READ plotWidth WRITE setPlotWidth NOTIFY plotWidthChanged)
    Q_PROPERTY(QList<QObject*> charts READ charts CONSTANT)
    Q_PROPERTY(QVariantList axisLabels READ axisLabels NOTIFY contentChanged)
    Q_PROPERTY(QString summary READ summary NOTIFY contentChanged)
    Q_PROPERTY(bool hasSamples READ hasSamples NOTIFY contentChanged)
    Q_PROPERTY(KeyedListModel* markers READ markers CONSTANT)
    Q_PROPERTY(KeyedListModel* timeline READ timeline CONSTANT)

public:
    explicit HistoryViewModel(SystemMonitorStore& store, DateProvider now = {}, QObject* parent = nullptr);
    static HistoryViewModel* create(QQmlEngine* engine, QJSEngine*);

    QString range() const;
    void setRange(const QString& key);
    HistoryRange historyRange() const { return m_range; }
    QVariantList rangeChoices() const;
    int plotWidth() const { return m_plotWidth; }
    void setPlotWidth(int width);
    QList<QObject*> charts() const;
    HistoryChart* chart(const QString& key) const;
    QVariantList axisLabels() const { return m_axisLabels; }
    QString summary() const { return m_summary; }
    bool hasSamples() const { return m_hasSamples; }
    KeyedListModel* markers() { return &m_markers; }
    KeyedListModel* timeline() { return &m_timeline; }

    // The chart keys, top to bottom.
    static QStringList chartKeys();

Q_SIGNALS:
    void rangeChanged();
    void plotWidthChanged();
    void contentChanged();

protected:
    void rebuild() override;

private:
    void rebuildCharts(Date now);
    void rebuildMarkers(Date now);
    void rebuildTimeline(Date now);

    SystemMonitorStore& m_store;
    DateProvider m_now;
    HistoryRange m_range = HistoryRange::day;
    int m_plotWidth = 600;
    std::vector<std::unique_ptr<HistoryChart>> m_charts;
    QVariantList m_axisLabels;
    QString m_summary;
    bool m_hasSamples = false;
    KeyedListModel m_markers;
    std::vector<HistoryChart::Marker> m_markerPositions;
    KeyedListModel m_timeline;
};

} // namespace kestrum
