#include "HistoryChartPlot.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <array>
#include <cmath>
#include <vector>

namespace kestrum {

namespace {
constexpr qreal kLineWidth = 1.5;
constexpr int kLevels = 3;
constexpr double kBandOpacity = 0.12;
constexpr double kTickOpacity = 0.55;

int levelIndex(HealthLevel level) {
    return level == HealthLevel::critical ? 2 : level == HealthLevel::attention ? 1 : 0;
}
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

// A month holds hundreds of events, incidents and sessions, many overlapping. The raster engine spends some
// 50 µs on every translucent rectangle whatever its size, so one rectangle per marker cost 20 ms per chart.
// The markers are composed per pixel column instead, into one row of pixels stretched to the plot's height:
// one image drawn, whatever the count.
void HistoryChartPlot::paintMarkers(QPainter* painter, const std::vector<HistoryChart::Marker>& markers,
                                    qreal w, qreal h) const {
    if (markers.empty())
        return;
    const int columns = std::max(1, int(std::ceil(w)));
    // Per level: how many bands cover each column (as a difference array), and which columns hold a tick.
    std::array<std::vector<int>, kLevels> bandStarts;
    std::array<std::vector<bool>, kLevels> ticks;
    for (auto& starts : bandStarts)
        starts.assign(size_t(columns) + 1, 0);
    for (auto& column : ticks)
        column.assign(size_t(columns), false);
    for (const HistoryChart::Marker& marker : markers) {
        const auto level = size_t(levelIndex(marker.level));
        const int first = std::clamp(int(std::floor(marker.start * w)), 0, columns - 1);
        if (marker.span > 0) {
            // At least one column, so that a short incident stays visible.
            const int last = std::clamp(int(std::ceil((marker.start + marker.span) * w)), first + 1, columns);
            ++bandStarts[level][size_t(first)];
            --bandStarts[level][size_t(last)];
        } else {
            // Two columns: a lone tick must stay visible.
            ticks[level][size_t(first)] = true;
            ticks[level][size_t(std::min(first + 1, columns - 1))] = true;
        }
    }
    struct Premultiplied {
        double r = 0, g = 0, b = 0, a = 0;
        void over(const QColor& color, double alpha) {
            r = color.redF() * alpha + r * (1 - alpha);
            g = color.greenF() * alpha + g * (1 - alpha);
            b = color.blueF() * alpha + b * (1 - alpha);
            a = alpha + a * (1 - alpha);
        }
    };
    std::array<QColor, kLevels> colors;
    for (int level = 0; level < kLevels; ++level)
        colors[size_t(level)] = level < m_levelColors.size() ? m_levelColors[level] : QColor(Qt::gray);
    QImage row(columns, 1, QImage::Format_ARGB32_Premultiplied);
    auto* pixels = reinterpret_cast<QRgb*>(row.scanLine(0));
    std::array<int, kLevels> covering{};
    for (int x = 0; x < columns; ++x) {
        Premultiplied pixel;
        // Bands under ticks, each level over the one below. A band drawn n times over itself has the
        // opacity 1 - (1 - a)^n, so overlapping bands look as they would drawn one by one.
        for (size_t level = 0; level < kLevels; ++level) {
            covering[level] += bandStarts[level][size_t(x)];
            if (covering[level] > 0)
                pixel.over(colors[level], 1 - std::pow(1 - kBandOpacity, covering[level]));
        }
        for (size_t level = 0; level < kLevels; ++level)
            if (ticks[level][size_t(x)])
                pixel.over(colors[level], kTickOpacity);
        const auto channel = [](double v) { return std::clamp(int(std::lround(v * 255)), 0, 255); };
        pixels[x] = qRgba(channel(pixel.r), channel(pixel.g), channel(pixel.b), channel(pixel.a));
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QRectF(0, 0, columns, h), row);
    painter->restore();
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
    paintMarkers(painter, m_chart->markers(), w, h);
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
