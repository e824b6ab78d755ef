#pragma once

#include "presentation/HistoryViewModel.h"

#include <QColor>
#include <QPointer>
#include <QQuickPaintedItem>

namespace kestrum {

// Strokes a history chart's lines over its markers. A painted item rather than custom scene-graph geometry:
// the software renderer (virtual machines, remote sessions, the offscreen tests) does not draw custom
// geometry nodes, and the view model already thins every line to about two points per pixel column.
class HistoryChartPlot : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(kestrum::HistoryChart* chart READ chart WRITE setChart NOTIFY chartChanged)
    Q_PROPERTY(QList<QColor> colors READ colors WRITE setColors NOTIFY colorsChanged)
    Q_PROPERTY(QColor gridColor READ gridColor WRITE setGridColor NOTIFY gridColorChanged)
    // The markers' colours: normal, attention, critical (as the level badges).
    Q_PROPERTY(QList<QColor> levelColors READ levelColors WRITE setLevelColors NOTIFY levelColorsChanged)

public:
    explicit HistoryChartPlot(QQuickItem* parent = nullptr);

    HistoryChart* chart() const { return m_chart; }
    void setChart(HistoryChart* chart);
    QList<QColor> colors() const { return m_colors; }
    void setColors(const QList<QColor>& colors);
    QColor gridColor() const { return m_gridColor; }
    void setGridColor(const QColor& color);
    QList<QColor> levelColors() const { return m_levelColors; }
    void setLevelColors(const QList<QColor>& colors);

    void paint(QPainter* painter) override;

Q_SIGNALS:
    void chartChanged();
    void colorsChanged();
    void gridColorChanged();
    void levelColorsChanged();

private:
    void paintMarkers(QPainter* painter, const std::vector<HistoryChart::Marker>& markers, qreal w,
                      qreal h) const;

    QPointer<HistoryChart> m_chart;
    QList<QColor> m_colors;
    QColor m_gridColor = QColor(128, 128, 128, 60);
    QList<QColor> m_levelColors;
};

} // namespace kestrum
