// The history section over a store whose archive holds prepared samples, events and incidents.

#include "presentation/HistoryViewModel.h"

#include "PresentationFixtures.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

const Date kNow = Date::now();

Date ago(double seconds) {
    return kNow.addingSeconds(-seconds);
}

HealthSample sample(Date at, std::optional<double> cpu) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = at;
    s.cpuUsage = cpu;
    s.memoryUsage = 0.5;
    return s;
}

struct Fixture {
    test::MeasuredStore m;
    std::unique_ptr<HistoryViewModel> model;

    explicit Fixture(std::vector<HealthSample> samples, std::vector<IncidentSession> incidents = {},
                     std::vector<HealthEvent> events = {}) {
        m.now = kNow;
        m.repository->stored.samples = std::move(samples);
        m.repository->stored.incidents = std::move(incidents);
        m.repository->stored.events = std::move(events);
        QCoro::waitFor(m.store.prepareArchive());
        model = std::make_unique<HistoryViewModel>(m.store, [this] { return m.now; });
    }
    HistoryChart& chart(const char* key) const { return *model->chart(QString::fromLatin1(key)); }
};

double highest(const HistoryChart& chart) {
    double top = -1;
    for (const auto& line : chart.lines())
        for (const auto& point : line.points)
            top = std::max(top, point.second);
    return top;
}

} // namespace

TEST(HistoryViewModel, EachRangeDrawsOnlyItsOwnSamplesInsideThePlot) {
    const std::vector<double> ages = {1800, 3 * 3600, 2 * 86400, 10 * 86400, 25 * 86400};
    std::vector<HealthSample> samples;
    for (const double age : ages)
        samples.push_back(sample(ago(age), 0.3));
    Fixture fixture(samples);
    const struct {
        const char* range;
        int points;
    } cases[] = {{"hour", 1}, {"day", 2}, {"week", 3}, {"month", 5}, {"day", 2}};
    for (const auto& c : cases) {
        fixture.model->setRange(QString::fromLatin1(c.range));
        EXPECT_EQ(fixture.model->range(), QString::fromLatin1(c.range));
        const HistoryChart& cpu = fixture.chart("cpu");
        EXPECT_EQ(cpu.pointCount(), c.points) << c.range;
        // Far apart, every sample is a stretch of its own: a dot, never joined to the next.
        EXPECT_EQ(cpu.lines().size(), size_t(c.points)) << c.range;
        for (const auto& line : cpu.lines())
            for (const auto& [x, y] : line.points) {
                EXPECT_GE(x, 0.0) << c.range;
                EXPECT_LE(x, 1.0) << c.range;
                EXPECT_DOUBLE_EQ(y, 0.3) << c.range;
            }
        EXPECT_EQ(fixture.model->axisLabels().size(), 5) << c.range;
        EXPECT_TRUE(fixture.model->summary().endsWith(QStringLiteral("· %1 ölçüm").arg(c.points))) << c.range;
    }
    fixture.model->setRange(QStringLiteral("year"));
    EXPECT_EQ(fixture.model->range(), QStringLiteral("day")) << "an unknown range changes nothing";
}

TEST(HistoryViewModel, AMonthThinnedToThePlotKeepsAOneSampleSpike) {
    std::vector<HealthSample> samples;
    // The archive's own resolution: 15 minutes beyond a week, 5 up to a week, 1 up to two days.
    for (double age = 29 * 86400; age > 7 * 86400; age -= 900)
        samples.push_back(sample(ago(age), 0.1));
    for (double age = 7 * 86400; age > 2 * 86400; age -= 300)
        samples.push_back(sample(ago(age), 0.1));
    for (double age = 2 * 86400; age > 0; age -= 60)
        samples.push_back(sample(ago(age), 0.1));
    const struct {
        const char* where;
        double age;
    } spikes[] = {{"twenty days old", 20 * 86400}, {"four days old", 4 * 86400}, {"an hour old", 3600}};
    for (const auto& spike : spikes) {
        std::vector<HealthSample> seeded = samples;
        // One stored sample (the archive keeps one per bucket) reads high.
        const auto it = std::find_if(seeded.begin(), seeded.end(),
                                     [&](const HealthSample& s) { return s.timestamp == ago(spike.age); });
        ASSERT_NE(it, seeded.end()) << spike.where;
        it->cpuUsage = 0.97;
        Fixture fixture(seeded);
        fixture.model->setPlotWidth(300);
        fixture.model->setRange(QStringLiteral("month"));
        const HistoryChart& cpu = fixture.chart("cpu");
        EXPECT_DOUBLE_EQ(highest(cpu), 0.97) << spike.where;
        // Two points per column and stretch at most, far below the ~6,500 samples.
        EXPECT_LE(cpu.pointCount(), 2 * 300 + 2 * int(cpu.lines().size())) << spike.where;
        EXPECT_GE(cpu.pointCount(), 280) << spike.where << ": every column with samples keeps one";
    }
}

TEST(HistoryViewModel, GapsStayGapsOnTheChartAndUnderThePointer) {
    std::vector<HealthSample> samples;
    for (double age = 3000; age >= 2000; age -= 60) // 50 to 33 minutes ago
        samples.push_back(sample(ago(age), 0.4));
    for (double age = 600; age >= 60; age -= 60) // 10 to 1 minutes ago
        samples.push_back(sample(ago(age), 0.6));
    samples.push_back(sample(ago(30), std::nullopt)); // the CPU was not read: the line ends there
    Fixture fixture(samples);
    fixture.model->setPlotWidth(600);
    fixture.model->setRange(QStringLiteral("hour"));
    const HistoryChart& cpu = fixture.chart("cpu");
    ASSERT_EQ(cpu.lines().size(), 2u);
    EXPECT_NEAR(cpu.lines()[0].points.back().first, (3600.0 - 2040) / 3600, 1e-9);
    EXPECT_NEAR(cpu.lines()[1].points.front().first, (3600.0 - 600) / 3600, 1e-9);
    EXPECT_EQ(fixture.chart("memory").lines().size(), 2u) << "the missing CPU value does not break memory";

    const struct {
        const char* where;
        double age;
        QString expected;
    } pointers[] = {{"inside the first stretch", 2500, MetricFormatting::percentage(0.4)},
                    {"in the gap", 1200, QStringLiteral("Ölçüm yok")},
                    {"inside the second stretch", 330, MetricFormatting::percentage(0.6)},
                    {"before anything", 3590, QStringLiteral("Ölçüm yok")}};
    for (const auto& p : pointers) {
        const QString text = cpu.describe((3600 - p.age) / 3600);
        EXPECT_TRUE(text.contains(p.expected)) << p.where << ": " << text.toStdString();
    }
}

TEST(HistoryViewModel, SamplesFromTheFutureAreNotDrawn) {
    Fixture fixture({sample(ago(120), 0.2), sample(ago(60), 0.2), sample(ago(-600), 0.99)});
    fixture.model->setRange(QStringLiteral("hour"));
    EXPECT_EQ(fixture.chart("cpu").pointCount(), 2);
    EXPECT_DOUBLE_EQ(highest(fixture.chart("cpu")), 0.2);
    EXPECT_TRUE(fixture.model->summary().contains(QStringLiteral("2 ölçüm")))
        << fixture.model->summary().toStdString();
}

TEST(HistoryViewModel, AnEmptyRangeSaysSoAndDrawsNothing) {
    Fixture fixture({sample(ago(5 * 86400), 0.2)});
    fixture.model->setRange(QStringLiteral("day"));
    EXPECT_FALSE(fixture.model->hasSamples());
    EXPECT_EQ(fixture.model->summary(), QStringLiteral("Bu aralıkta çizilecek ölçüm yok."));
    for (const QString& key : HistoryViewModel::chartKeys()) {
        EXPECT_FALSE(fixture.model->chart(key)->hasData()) << key.toStdString();
        EXPECT_TRUE(fixture.model->chart(key)->describe(0.5).contains(QStringLiteral("Ölçüm yok")));
    }
    fixture.model->setRange(QStringLiteral("week"));
    EXPECT_TRUE(fixture.model->hasSamples());
}

TEST(HistoryViewModel, EveryChartPlacesItsValueOnItsOwnScale) {
    HealthSample s = sample(ago(60), 0.25);
    s.memoryUsage = 0.8;
    s.batteryCharge = 0.5;
    s.wifiRSSI = -65;
    s.downloadBytesPerSecond = 2'000'000;
    s.uploadBytesPerSecond = 500'000;
    s.thermalLevel = ThermalLevel::serious;
    HealthSample unread = sample(ago(120), std::nullopt);
    unread.memoryUsage.reset();
    Fixture fixture({unread, s});
    fixture.model->setRange(QStringLiteral("hour"));
    const struct {
        const char* chart;
        std::vector<double> heights; // per series
        QString hover;
    } cases[] = {
        {"cpu", {0.25}, MetricFormatting::percentage(0.25)},
        {"memory", {0.8}, MetricFormatting::percentage(0.8)},
        {"battery", {0.5}, MetricFormatting::percentage(0.5)},
        {"wifi", {0.5}, QStringLiteral("-65 dBm")},
        {"network", {1.0, 0.25}, MetricFormatting::rate(500'000)},
        {"thermal", {2.0 / 3}, QStringLiteral("Ciddi")},
    };
    for (const auto& c : cases) {
        const HistoryChart& chart = fixture.chart(c.chart);
        ASSERT_EQ(chart.lines().size(), c.heights.size()) << c.chart;
        for (size_t i = 0; i < c.heights.size(); ++i) {
            ASSERT_EQ(chart.lines()[i].points.size(), 1u) << c.chart;
            EXPECT_EQ(chart.lines()[i].series, int(i)) << c.chart;
            EXPECT_NEAR(chart.lines()[i].points[0].second, c.heights[i], 1e-9) << c.chart;
        }
        const QString text = chart.describe((3600.0 - 60) / 3600);
        EXPECT_TRUE(text.contains(c.hover)) << c.chart << ": " << text.toStdString();
    }
}

TEST(HistoryViewModel, MarksEventsAndIncidentsOnTheAxisAndListsTheWeek) {
    IncidentSession incident{newUuid(), ago(7200), ago(3600), QStringLiteral("fan"), {}};
    HealthEvent event;
    event.id = newUuid();
    event.timestamp = ago(3 * 86400);
    event.level = HealthLevel::attention;
    event.title = QStringLiteral("CPU uzun süredir yüksek");
    event.evidence = QStringLiteral("kanıt");
    event.signature = QStringLiteral("cpu");
    Fixture fixture({sample(ago(60), 0.2)}, {incident}, {event});

    fixture.model->setRange(QStringLiteral("day"));
    KeyedListModel* markers = fixture.model->markers();
    ASSERT_EQ(markers->count(), 1) << "the event three days ago is outside the day";
    EXPECT_NEAR(markers->value(0, "start").toDouble(), (86400.0 - 7200) / 86400, 1e-9);
    EXPECT_NEAR(markers->value(0, "span").toDouble(), 3600.0 / 86400, 1e-9);
    EXPECT_EQ(markers->value(0, "kind").toString(), QStringLiteral("incident"));

    fixture.model->setRange(QStringLiteral("week"));
    EXPECT_EQ(markers->count(), 2);
    EXPECT_EQ(fixture.model->timeline()->count(), 2);
    EXPECT_EQ(fixture.model->timeline()->value(0, "title").toString(), QStringLiteral("Olay zaman aralığı"))
        << "newest first";
}
