#include "HistoryChartPlot.h"

#include <QPainter>
#include <QPolygonF>
#include <set>

namespace kestrum {

namespace {
constexpr qreal kLineWidth = 1.5;
} // namespace

HistoryChartPlot::HistoryChartPlot(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &QQuickItem::widthChanged, this, [this] { update(); });
    connect(this, &QQuickItem::heightChanged, this, [this] { update(); });
}

void HistoryChartPlot::setChart(HistoryChart* chart) {
    if (chart == m_chart)
        return;
    if (m_chart)
        disconnect(m_chart, nullptr, this, nullptr);
    m_chart = chart;
    if (chart)
        connect(chart, &HistoryChart::changed, this, [this] { update(); });
    Q_EMIT chartChanged();
    update();
}

void HistoryChartPlot::setColors(const QList<QColor>& colors) {
    if (colors == m_colors)
        return;
    m_colors = colors;
    Q_EMIT colorsChanged();
    update();
}

void HistoryChartPlot::setGridColor(const QColor& color) {
    if (color == m_gridColor)
        return;
    m_gridColor = color;
    Q_EMIT gridColorChanged();
    update();
}

void HistoryChartPlot::setLevelColors(const QList<QColor>& colors) {
    if (colors == m_levelColors)
        return;
    m_levelColors = colors;
    Q_EMIT levelColorsChanged();
    update();
}

void HistoryChartPlot::paint(QPainter* painter) {
    const qreal w = width();
    const qreal h = height();
    // Half a line's width inside every edge, so that 0 % and 100 % are not cut off.
    const qreal inset = kLineWidth;
    const qreal plotHeight = std::max(h - 2 * inset, 1.0);
    painter->setPen(QPen(m_gridColor, 1));
    for (const qreal fraction : {0.0, 0.5, 1.0}) {
        const qreal y = std::round(inset + (1 - fraction) * plotHeight) + 0.5;
        painter->drawLine(QPointF(0, y), QPointF(w, y));
    }
    if (!m_chart)
        return;
    // Events are ticks, incidents and sessions bands, under the lines; hundreds cost one rectangle each.
    // A month holds hundreds of ticks: one per pixel column and level is enough.
    painter->setPen(Qt::NoPen);
    std::set<std::pair<int, int>> ticks;
    for (const HistoryChart::Marker& marker : m_chart->markers()) {
        const int index = marker.level == HealthLevel::critical    ? 2
                          : marker.level == HealthLevel::attention ? 1
                                                                   : 0;
        if (!(marker.span > 0) && !ticks.insert({int(marker.start * w), index}).second)
            continue;
        QColor color = index < m_levelColors.size() ? m_levelColors[index] : QColor(Qt::gray);
        color.setAlphaF(marker.span > 0 ? 0.12f : 0.55f);
        painter->fillRect(QRectF(marker.start * w, 0, std::max(marker.span * w, 1.5), h), color);
    }
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPolygonF polygon;
    for (const HistoryChart::Line& line : m_chart->lines()) {
        const QColor color =
            m_colors.isEmpty() ? QColor(Qt::darkBlue) : m_colors[line.series % m_colors.size()];
        polygon.resize(qsizetype(line.points.size()));
        for (size_t i = 0; i < line.points.size(); ++i)
            polygon[qsizetype(i)] =
                QPointF(line.points[i].first * w, inset + (1 - line.points[i].second) * plotHeight);
        if (polygon.size() == 1) {
            // A stretch of one sample is a dot: no line may suggest what came before or after it.
            painter->setPen(Qt::NoPen);
            painter->setBrush(color);
            painter->drawEllipse(polygon.front(), kLineWidth, kLineWidth);
            continue;
        }
        // A cosmetic pen of one pixel takes the raster engine's fast stroker: a wider or joined pen costs
        // several times as much per point with the software renderer.
        QPen pen(color, 1);
        pen.setCosmetic(true);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawPolyline(polygon);
    }
}

} // namespace kestrum
