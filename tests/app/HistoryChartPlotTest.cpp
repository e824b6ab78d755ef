// What the history chart's painted item puts in pixels: markers composed per column (bands stack as if drawn
// one over another, ticks stay visible, nothing outside them) and lines that do not cross a gap.

#include "HistoryChartPlot.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 96;
// A row away from the three grid lines (top, middle, bottom).
constexpr int kRow = 24;

QImage painted(HistoryChart::Content content) {
    HistoryChart chart(QStringLiteral("cpu"));
    chart.set(std::move(content));
    HistoryChartPlot plot;
    plot.setSize(QSizeF(kWidth, kHeight));
    plot.setChart(&chart);
    plot.setColors({QColor(0, 0, 255)});
    plot.setGridColor(QColor(0, 0, 0, 0));
    plot.setLevelColors({QColor(0, 128, 0), QColor(255, 160, 0), QColor(255, 0, 0)});
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    plot.paint(&painter);
    painter.end();
    return image;
}

HistoryChart::Marker marker(double start, double span, HealthLevel level) {
    return {start, span, level};
}

int alphaAt(const QImage& image, int x, int y = kRow) {
    return qAlpha(image.pixel(x, y));
}

} // namespace

TEST(HistoryChartPlot, ComposesMarkersPerColumn) {
    HistoryChart::Content content;
    // Two critical bands overlapping over columns 60–79, an attention tick at column 150.
    content.markers = {marker(0.2, 0.2, HealthLevel::critical), marker(0.3, 0.2, HealthLevel::critical),
                       marker(0.75, 0, HealthLevel::attention)};
    const QImage image = painted(std::move(content));

    struct Case {
        int column;
        int alpha; // expected, within rounding
        const char* what;
    };
    const Case cases[] = {
        {10, 0, "before any marker"},
        {45, 31, "one band: 12 %"},
        {70, 58, "two bands over each other: 1 - 0.88²"},
        {95, 31, "the second band alone"},
        {120, 0, "between the bands and the tick"},
        {150, 140, "the tick"},
        {151, 140, "the tick keeps two columns"},
        {153, 0, "after the tick"},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(alphaAt(image, c.column), c.alpha, 2) << c.what;
        // Every row of a column is the same: the markers span the plot's height.
        EXPECT_EQ(image.pixel(c.column, 5), image.pixel(c.column, 80)) << c.what;
    }
    EXPECT_GT(qRed(image.pixel(70, kRow)), 0) << "a critical band is drawn in the critical colour";
    EXPECT_EQ(qGreen(image.pixel(70, kRow)), 0);
    EXPECT_GT(qGreen(image.pixel(150, kRow)), 0) << "the attention tick is drawn in the attention colour";
}

TEST(HistoryChartPlot, HigherLevelsLieOverLowerOnes) {
    HistoryChart::Content content;
    content.markers = {marker(0.4, 0.2, HealthLevel::critical), marker(0.4, 0.2, HealthLevel::normal)};
    const QImage image = painted(std::move(content));
    // Normal (green) first, critical (red) over it: the red share is the larger one.
    const QRgb pixel = image.pixel(100, kRow);
    EXPECT_GT(qRed(pixel), qGreen(pixel));
    EXPECT_GT(qGreen(pixel), 0);
}

TEST(HistoryChartPlot, LinesStopAtGapsAndALoneSampleIsADot) {
    HistoryChart::Content content;
    content.seriesTitles = {QStringLiteral("CPU")};
    HistoryChart::Line before;
    before.points = {{0.0, 0.5}, {0.3, 0.5}};
    HistoryChart::Line after;
    after.points = {{0.7, 0.5}, {1.0, 0.5}};
    HistoryChart::Line lone;
    lone.points = {{0.5, 0.9}};
    content.lines = {before, after, lone};
    const QImage image = painted(std::move(content));

    const auto inkInColumn = [&](int x) {
        for (int y = 0; y < kHeight; ++y)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        return false;
    };
    EXPECT_TRUE(inkInColumn(30)) << "the first stretch";
    EXPECT_TRUE(inkInColumn(170)) << "the second stretch";
    for (const int x : {70, 80, 120, 130})
        EXPECT_FALSE(inkInColumn(x)) << "column " << x << " lies in the gap";
    EXPECT_TRUE(inkInColumn(100)) << "a stretch of one sample is still drawn";
    EXPECT_GT(qBlue(image.pixel(100, int(1.5 + 0.1 * (kHeight - 3)))), 0) << "as a dot at its value";
}
