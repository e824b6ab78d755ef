// The history as a terminal chart, and the health timeline of the last week.

#include "CliSupport.h"
#include "Commands.h"
#include "culprits/ResourceCulprit.h"
#include "foundation/Translatable.h"
#include "history/HealthArchive.h"
#include "history/HealthTimelineBuilder.h"
#include "history/HistoryChartDecimator.h"
#include "history/HistoryChartSegmenter.h"
#include "interpretation/HealthPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrum::cli {

namespace {

constexpr int kChartRows = 8;
constexpr int kNarrowestChart = 20;

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::shortened);
}

// $COLUMNS when it holds a usable width, else the terminal's, else 80.
int terminalWidth() {
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariable("COLUMNS").trimmed().toInt(&ok);
    if (ok && fromEnvironment > 0)
        return std::clamp(fromEnvironment, kNarrowestChart, 1000);
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 &&
        size.ws_col >= kNarrowestChart)
        return size.ws_col;
    return 80;
}

QString valueLabel(double value, const QString& unit) {
    if (unit == u"%")
        return MetricFormatting::number(value, 0) + u'%';
    // Enough fraction digits that a slow link's scale is not printed as zero.
    const int digits = value == 0 || value >= 10 ? 0 : value >= 1 ? 1 : value >= 0.01 ? 2 : 3;
    return MetricFormatting::number(value, digits) + u' ' + L10n::string(unit);
}

// One block character per column and row: a column is filled up to its highest value, so the peak of a
// bucket shows; a measured zero still shows as the lowest block, and a gap is blank.
QStringList chartLines(const std::vector<std::optional<HistoryChartDecimator::Column>>& columns, double top,
                       const QString& unit, Date from, Date to) {
    static const QChar blocks[] = {u' ', u'▁', u'▂', u'▃', u'▄', u'▅', u'▆', u'▇', u'█'};
    const QString topLabel = valueLabel(top, unit);
    const QString bottomLabel = valueLabel(0, unit);
    const qsizetype margin = std::max(topLabel.size(), bottomLabel.size());
    QStringList lines;
    for (int row = 0; row < kChartRows; ++row) {
        QString label = row == 0 ? topLabel : row == kChartRows - 1 ? bottomLabel : QString();
        QString line = label.rightJustified(margin) + u'│';
        for (const auto& column : columns) {
            if (!column) {
                line += u' ';
                continue;
            }
            const double eighths = std::clamp(column->maximum / top, 0.0, 1.0) * kChartRows * 8;
            int filled = static_cast<int>(std::lround(eighths)) - (kChartRows - 1 - row) * 8;
            if (row == kChartRows - 1)
                filled = std::max(filled, 1);
            line += blocks[std::clamp(filled, 0, 8)];
        }
        lines.append(line);
    }
    lines.append(QString(margin, u' ') + u'└' + QString(qsizetype(columns.size()), u'─'));
    const QString start = dateTimeText(from);
    const QString end = dateTimeText(to);
    const qsizetype room = margin + 1 + qsizetype(columns.size());
    if (start.size() + 1 + end.size() <= room) {
        lines.append(start + QString(room - start.size() - end.size(), u' ') + end);
    } else { // too narrow for both ends on one line
        lines.append(start);
        lines.append(end.rightJustified(room));
    }
    return lines;
}

HistoryMetric parseMetric(const QString& text) {
    if (const auto metric = fromRawValue<HistoryMetric>(text))
        return *metric;
    throw UsageError{trText("--chart için cpu, memory, battery veya network gerekiyor.")};
}

HistoryRange parseRange(const std::optional<QString>& text) {
    if (!text)
        return HistoryRange::day;
    if (const auto range = fromRawValue<HistoryRange>(*text))
        return *range;
    throw UsageError{trText("--range için hour, day, week veya month gerekiyor.")};
}

QJsonValue pointToJson(const HistoryChartPoint& point) {
    return QJsonObject{{QStringLiteral("id"), point.id},
                       {QStringLiteral("timestamp"), point.timestamp.secondsSinceReferenceDate},
                       {QStringLiteral("value"), point.value},
                       {QStringLiteral("seriesIdentifier"), point.seriesIdentifier}};
}

QString seriesTitle(const HistoryChartSeries& series, HistoryMetric metric) {
    if (series.identifier == u"download")
        return tr("İndirme");
    if (series.identifier == u"upload")
        return tr("Yükleme");
    return L10n::string(metricTitle(metric));
}

} // namespace

int runHistoryChart(const QString& metricName, const std::optional<QString>& rangeName, bool asJson) {
    const HistoryMetric metric = parseMetric(metricName);
    const HistoryRange range = parseRange(rangeName);
    const Date now = Date::now();
    const Date from = now.addingSeconds(-durationSeconds(range));
    const std::vector<HealthSample> samples = samplesInRange(loadArchiveForReading().samples, range, now);
    if (asJson) {
        QJsonArray list;
        for (const HistoryChartPoint& point : HistoryChartSegmenter::points(samples, metric, now))
            list.append(pointToJson(point));
        printJson(list);
        return ExitCode::success;
    }
    const int width = terminalWidth();
    bool first = true;
    for (const HistoryChartSeries& series : chartSeries(metric)) {
        const std::vector<HistoryChartPoint> points =
            HistoryChartSegmenter::points(samples, series.identifier, now, series.value);
        if (!first)
            printLine();
        first = false;
        printHeading(L10n::string(trTemplate("\\(series) · \\(count) nokta",
                                             {seriesTitle(series, metric), QString::number(points.size())})));
        if (points.empty()) {
            printLine(tr("Bu aralıkta çizilecek ölçüm yok."));
            continue;
        }
        // Percentages keep their fixed scale; rates scale to their highest value.
        double top = 100;
        if (series.unit != u"%") {
            top = 0;
            for (const HistoryChartPoint& point : points)
                top = std::max(top, point.value);
            if (!(top > 0))
                top = 1;
        }
        const qsizetype margin =
            std::max(valueLabel(top, series.unit).size(), valueLabel(0, series.unit).size()) + 1;
        const int columnCount = std::max(1, width - int(margin));
        for (const QString& line : chartLines(HistoryChartDecimator::columns(points, from, now, columnCount),
                                              top, series.unit, from, now))
            printLine(line);
    }
    return ExitCode::success;
}

int runTimeline(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("timeline konumsal argüman almaz.")};
    const HealthArchive archive = loadArchiveForReading();
    // The resource analysis lives in a running window's memory only; a separate command has none.
    const std::vector<HealthTimelineEntry> entries = HealthTimelineBuilder::entries(
        archive.events, archive.incidents, archive.performanceSessions, archive.healthTestResults,
        archive.deepHealthTestResults, archive.latestNetworkQualityResult, ResourceCulpritAnalysis::empty(),
        Date::now());
    if (asJson) {
        QJsonArray list;
        for (const HealthTimelineEntry& entry : entries)
            list.append(healthTimelineEntryToJson(entry));
        printJson(list);
        return ExitCode::success;
    }
    printHeading(tr("Sağlık zaman çizelgesi · son 7 gün"));
    if (entries.empty())
        printLine(tr("Son 7 günde zaman çizelgesine girecek bir kayıt yok."));
    for (const HealthTimelineEntry& entry : entries) {
        QString when = dateTimeText(entry.timestamp);
        if (entry.endedAt)
            when += QStringLiteral(" – ") + dateTimeText(*entry.endedAt);
        printLine(QStringLiteral("%1  [%2]  %3")
                      .arg(when, HealthPresentation::levelLabel(entry.level),
                           L10n::localizedFragment(entry.title)));
        printLine(QStringLiteral("    ") + L10n::localizedFragment(entry.evidence));
        if (entry.recommendation)
            printLine(QStringLiteral("    → ") + L10n::localizedFragment(*entry.recommendation));
    }
    return ExitCode::success;
}

} // namespace kestrum::cli
