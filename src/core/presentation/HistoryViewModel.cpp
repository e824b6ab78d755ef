#include "HistoryViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "history/HealthTimelineBuilder.h"
#include "history/HistoryChartDecimator.h"
#include "interpretation/HealthPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "measurement/SnapshotPresentation.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

// Wi-Fi signal is drawn between these: below -100 dBm nothing connects, above -30 dBm is as good as it gets.
constexpr double kWeakestSignal = -100;
constexpr double kStrongestSignal = -30;

enum class Scale { percent, rate, signal, thermal };

struct SeriesSpec {
    QString identifier;
    QString title; // Turkish
    std::function<std::optional<double>(const HealthSample&)> value;
};

struct ChartSpec {
    QString key;
    QString title; // Turkish
    Scale scale;
    std::vector<SeriesSpec> series;
};

std::optional<double> thermalStep(const HealthSample& sample) {
    if (sample.thermalLevel == ThermalLevel::unavailable)
        return std::nullopt;
    return double(static_cast<int>(sample.thermalLevel)); // nominal 0 … critical 3
}

const std::vector<ChartSpec>& chartSpecs() {
    static const std::vector<ChartSpec> specs = [] {
        const auto single = [](HistoryMetric metric, Scale scale) {
            const HistoryChartSeries series = chartSeries(metric).front();
            return ChartSpec{series.identifier,
                             metricTitle(metric),
                             scale,
                             {{series.identifier, metricTitle(metric), series.value}}};
        };
        const std::vector<HistoryChartSeries> network = chartSeries(HistoryMetric::network);
        return std::vector<ChartSpec>{
            single(HistoryMetric::cpu, Scale::percent),
            single(HistoryMetric::memory, Scale::percent),
            single(HistoryMetric::battery, Scale::percent),
            {QStringLiteral("wifi"),
             trText("Wi-Fi sinyali"),
             Scale::signal,
             {{QStringLiteral("wifi"), trText("Wi-Fi sinyali"),
               [](const HealthSample& s) -> std::optional<double> {
                   if (!s.wifiRSSI)
                       return std::nullopt;
                   return double(*s.wifiRSSI);
               }}}},
            {QStringLiteral("network"),
             metricTitle(HistoryMetric::network),
             Scale::rate,
             {{network[0].identifier, trText("İndirme"), network[0].value},
              {network[1].identifier, trText("Yükleme"), network[1].value}}},
            {QStringLiteral("thermal"),
             trText("Termal durum"),
             Scale::thermal,
             {{QStringLiteral("thermal"), trText("Termal durum"), thermalStep}}},
        };
    }();
    return specs;
}

QString thermalStepText(double step) {
    const int level = std::clamp(static_cast<int>(std::lround(step)), 0, 3);
    return L10n::string(SnapshotPresentation::thermalLevelText(static_cast<ThermalLevel>(level)));
}

QString signalText(double dBm) {
    return MetricFormatting::number(dBm, 0) + QStringLiteral(" dBm");
}

// Where a value sits between the chart's bottom (0) and top (1).
double heightFraction(Scale scale, double value, double top) {
    double fraction = 0;
    switch (scale) {
    case Scale::percent:
        fraction = value / 100;
        break;
    case Scale::rate:
        fraction = top > 0 ? value / top : 0;
        break;
    case Scale::signal:
        fraction = (value - kWeakestSignal) / (kStrongestSignal - kWeakestSignal);
        break;
    case Scale::thermal:
        fraction = value / 3;
        break;
    }
    return std::clamp(fraction, 0.0, 1.0);
}

QString rangeTitle(HistoryRange range) {
    switch (range) {
    case HistoryRange::hour:
        return trText("Son 1 saat");
    case HistoryRange::day:
        return trText("Son 24 saat");
    case HistoryRange::week:
        return trText("Son 7 gün");
    case HistoryRange::month:
        break;
    }
    return trText("Son 30 gün");
}

QString axisDate(Date date, HistoryRange range) {
    if (range == HistoryRange::hour || range == HistoryRange::day)
        return L10n::date(date, L10n::DateStyle::none, L10n::TimeStyle::shortened);
    return L10n::date(date, L10n::DateStyle::abbreviated, L10n::TimeStyle::none);
}

QString pointerDate(Date date, HistoryRange range) {
    if (range == HistoryRange::hour)
        return L10n::date(date, L10n::DateStyle::none, L10n::TimeStyle::shortened);
    return L10n::date(date, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
}

} // namespace

// ---- HistoryChart ----

int HistoryChart::pointCount() const {
    int count = 0;
    for (const Line& line : m_content.lines)
        count += static_cast<int>(line.points.size());
    return count;
}

void HistoryChart::set(Content content) {
    m_content = std::move(content);
    Q_EMIT changed();
}

QString HistoryChart::describe(qreal fraction) const {
    const double span = m_content.to.secondsSince(m_content.from);
    if (!(span > 0) || !std::isfinite(fraction))
        return {};
    const Date at = m_content.from.addingSeconds(std::clamp(double(fraction), 0.0, 1.0) * span);
    // A point within a bucket of the pointer, or any point of a stretch the pointer lies inside.
    const double reach = std::max(m_content.bucketSeconds, 1.0);
    QStringList values;
    for (size_t series = 0; series < m_content.drawn.size(); ++series) {
        const std::vector<DrawnPoint>& points = m_content.drawn[series];
        const DrawnPoint* nearest = nullptr;
        double nearestDistance = 0;
        size_t start = 0;
        while (start < points.size()) {
            size_t end = start;
            while (end < points.size() && points[end].segment == points[start].segment)
                ++end;
            const bool inside = at >= points[start].timestamp.addingSeconds(-reach) &&
                                at <= points[end - 1].timestamp.addingSeconds(reach);
            if (inside) {
                for (size_t i = start; i < end; ++i) {
                    const double distance = std::abs(points[i].timestamp.secondsSince(at));
                    if (!nearest || distance < nearestDistance) {
                        nearest = &points[i];
                        nearestDistance = distance;
                    }
                }
            }
            start = end;
        }
        if (nearest) {
            const QString title = series < size_t(m_content.seriesTitles.size())
                                      ? m_content.seriesTitles[int(series)]
                                      : QString();
            values << title + QStringLiteral(" ") + m_content.valueText(nearest->value);
        }
    }
    const QString when = L10n::date(at, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
    if (values.isEmpty())
        return when + QStringLiteral(" · ") + L10n::string(trText("Ölçüm yok"));
    return when + QStringLiteral(" · ") + values.join(QStringLiteral(" · "));
}

// ---- HistoryViewModel ----

HistoryViewModel::HistoryViewModel(SystemMonitorStore& store, DateProvider now, QObject* parent)
    : SectionViewModel(parent), m_store(store),
      m_now(now ? std::move(now) : DateProvider([] { return Date::now(); })),
      m_markers({"start", "span", "level", "kind", "label"}),
      m_timeline({"when", "level", "levelLabel", "title", "evidence", "recommendation"}) {
    for (const ChartSpec& spec : chartSpecs())
        m_charts.push_back(std::make_unique<HistoryChart>(spec.key));
    follow(&store, &SystemMonitorStore::persistentHistoryChanged);
    follow(&store, &SystemMonitorStore::healthEventsChanged);
    follow(&store, &SystemMonitorStore::incidentsChanged);
    follow(&store, &SystemMonitorStore::performanceSessionsChanged);
    follow(&store, &SystemMonitorStore::resultsChanged);
    follow(&store, &SystemMonitorStore::historyEraseGenerationChanged);
    rebuildNow();
}

HistoryViewModel* HistoryViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<HistoryViewModel>(engine);
}

QStringList HistoryViewModel::chartKeys() {
    QStringList keys;
    for (const ChartSpec& spec : chartSpecs())
        keys << spec.key;
    return keys;
}

QString HistoryViewModel::range() const {
    return rawValue(m_range);
}

void HistoryViewModel::setRange(const QString& key) {
    const std::optional<HistoryRange> range = fromRawValue<HistoryRange>(key);
    if (!range || *range == m_range)
        return;
    m_range = *range;
    Q_EMIT rangeChanged();
    rebuildNow();
}

QVariantList HistoryViewModel::rangeChoices() const {
    QVariantList choices;
    for (const auto& [range, key] : EnumTraits<HistoryRange>::cases) {
        choices.append(
            QVariantMap{{QStringLiteral("key"), QString::fromLatin1(key.data(), qsizetype(key.size()))},
                        {QStringLiteral("title"), L10n::string(rangeTitle(range))}});
    }
    return choices;
}

void HistoryViewModel::setPlotWidth(int width) {
    width = std::clamp(width, 1, 8192);
    if (width == m_plotWidth)
        return;
    m_plotWidth = width;
    Q_EMIT plotWidthChanged();
    // A window being resized sets this many times in one turn: one rebuild for all of them.
    scheduleRebuild();
}

QList<QObject*> HistoryViewModel::charts() const {
    QList<QObject*> list;
    for (const auto& chart : m_charts)
        list.append(chart.get());
    return list;
}

HistoryChart* HistoryViewModel::chart(const QString& key) const {
    for (const auto& chart : m_charts) {
        if (chart->key() == key)
            return chart.get();
    }
    return nullptr;
}

void HistoryViewModel::rebuild() {
    const Date now = m_now();
    // The markers first: every chart draws them.
    rebuildMarkers(now);
    rebuildCharts(now);
    rebuildTimeline(now);
    Q_EMIT contentChanged();
}

void HistoryViewModel::rebuildCharts(Date now) {
    const Date from = now.addingSeconds(-durationSeconds(m_range));
    // A sample dated after now (a clock that was ahead) is not history yet: nothing is drawn from it.
    std::vector<HealthSample> samples;
    samples.reserve(m_store.persistentHistory().size());
    for (const HealthSample& sample : m_store.persistentHistory()) {
        if (sample.timestamp >= from && sample.timestamp <= now)
            samples.push_back(sample);
    }
    m_hasSamples = !samples.empty();
    m_summary = m_hasSamples
                    ? L10n::string(trTemplate("\\(range) · \\(count) ölçüm",
                                              {rangeTitle(m_range), QString::number(samples.size())}))
                    : L10n::string(trText("Bu aralıkta çizilecek ölçüm yok."));

    const double bucketSeconds = durationSeconds(m_range) / m_plotWidth;
    const std::vector<ChartSpec>& specs = chartSpecs();
    for (size_t c = 0; c < specs.size(); ++c) {
        const ChartSpec& spec = specs[c];
        HistoryChart::Content content;
        content.title = L10n::string(spec.title);
        content.from = from;
        content.to = now;
        content.bucketSeconds = bucketSeconds;
        content.markers = m_markerPositions;
        std::vector<std::vector<HistoryChartPoint>> thinned;
        double top = 0;
        for (const SeriesSpec& series : spec.series) {
            content.seriesTitles << L10n::string(series.title);
            thinned.push_back(HistoryChartDecimator::decimated(
                HistoryChartSegmenter::points(samples, series.identifier, now, series.value,
                                              HistoryChartSegmenter::PointIdentifiers::omitted),
                from, now, m_plotWidth));
            for (const HistoryChartPoint& point : thinned.back())
                top = std::max(top, point.value);
        }
        switch (spec.scale) {
        case Scale::percent:
            content.topLabel = MetricFormatting::percentage(1.0);
            content.bottomLabel = MetricFormatting::percentage(0.0);
            content.valueText = [](double v) { return MetricFormatting::percentage(v / 100); };
            break;
        case Scale::rate:
            top = top > 0 ? top : 1;
            content.topLabel = MetricFormatting::rate(top * 1e6);
            content.bottomLabel = MetricFormatting::rate(0.0);
            content.valueText = [](double v) { return MetricFormatting::rate(v * 1e6); };
            break;
        case Scale::signal:
            content.topLabel = signalText(kStrongestSignal);
            content.bottomLabel = signalText(kWeakestSignal);
            content.valueText = signalText;
            break;
        case Scale::thermal:
            content.topLabel = thermalStepText(3);
            content.bottomLabel = thermalStepText(0);
            content.valueText = thermalStepText;
            break;
        }
        const double span = now.secondsSince(from);
        for (size_t s = 0; s < thinned.size(); ++s) {
            std::vector<HistoryChart::DrawnPoint> drawn;
            for (const HistoryChartPoint& point : thinned[s]) {
                if (content.lines.empty() || content.lines.back().series != int(s) || drawn.empty() ||
                    drawn.back().segment != point.seriesIdentifier)
                    content.lines.push_back({int(s), {}});
                content.lines.back().points.emplace_back(point.timestamp.secondsSince(from) / span,
                                                         heightFraction(spec.scale, point.value, top));
                drawn.push_back({point.timestamp, point.value, point.seriesIdentifier});
            }
            content.drawn.push_back(std::move(drawn));
        }
        m_charts[c]->set(std::move(content));
    }

    m_axisLabels.clear();
    for (const double fraction : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        m_axisLabels.append(
            QVariantMap{{QStringLiteral("fraction"), fraction},
                        {QStringLiteral("text"),
                         axisDate(from.addingSeconds(fraction * now.secondsSince(from)), m_range)}});
    }
}

void HistoryViewModel::rebuildMarkers(Date now) {
    const double span = durationSeconds(m_range);
    const Date from = now.addingSeconds(-span);
    const std::vector<HealthTimelineEntry> entries = HealthTimelineBuilder::entries(
        m_store.healthEvents(), m_store.incidents(), m_store.performanceSessions(),
        m_store.healthTestResults(), m_store.deepHealthTestResults(), m_store.latestNetworkQualityResult(),
        m_store.resourceCulpritAnalysis(), now, span);
    std::vector<KeyedListModel::Row> rows;
    m_markerPositions.clear();
    for (const HealthTimelineEntry& entry : entries) {
        const Date end = entry.endedAt ? std::min(*entry.endedAt, now) : entry.timestamp;
        if (end < from || entry.timestamp > now)
            continue;
        const double start = std::max(entry.timestamp.secondsSince(from), 0.0) / span;
        const double stop = std::max(end.secondsSince(from), 0.0) / span;
        const QString label = pointerDate(entry.timestamp, m_range) + QStringLiteral(" · ") +
                              L10n::localizedFragment(entry.title);
        rows.push_back(
            {entry.id,
             {start, std::max(stop - start, 0.0), rawValue(entry.level), rawValue(entry.kind), label}});
        m_markerPositions.push_back({start, std::max(stop - start, 0.0), entry.level});
    }
    m_markers.update(std::move(rows));
}

void HistoryViewModel::rebuildTimeline(Date now) {
    const std::vector<HealthTimelineEntry> entries = HealthTimelineBuilder::entries(
        m_store.healthEvents(), m_store.incidents(), m_store.performanceSessions(),
        m_store.healthTestResults(), m_store.deepHealthTestResults(), m_store.latestNetworkQualityResult(),
        m_store.resourceCulpritAnalysis(), now);
    std::vector<KeyedListModel::Row> rows;
    for (const HealthTimelineEntry& entry : entries) {
        QString when = L10n::date(entry.timestamp, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
        if (entry.endedAt) {
            // The same day is not repeated: "6 Ara 2026 09:02 – 09:12".
            const bool sameDay = entry.endedAt->toDateTime().toLocalTime().date() ==
                                 entry.timestamp.toDateTime().toLocalTime().date();
            when += QStringLiteral(" – ") +
                    L10n::date(*entry.endedAt, sameDay ? L10n::DateStyle::none : L10n::DateStyle::abbreviated,
                               L10n::TimeStyle::shortened);
        }
        rows.push_back({entry.id,
                        {when, rawValue(entry.level), HealthPresentation::levelLabel(entry.level),
                         L10n::localizedFragment(entry.title), L10n::localizedFragment(entry.evidence),
                         entry.recommendation ? L10n::localizedFragment(*entry.recommendation) : QString()}});
    }
    m_timeline.update(std::move(rows));
}

} // namespace kestrum
