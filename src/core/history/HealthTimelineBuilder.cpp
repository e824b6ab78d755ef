#include "HealthTimelineBuilder.h"

#include "foundation/JsonCodec.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "interpretation/HealthAlerts.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "measurement/SnapshotPresentation.h"

#include <algorithm>

namespace kestrum {

namespace json {
template <> struct JsonRecord<HealthTimelineEntry> {
    static constexpr auto fields = std::tuple{field("id", &HealthTimelineEntry::id),
                                              field("timestamp", &HealthTimelineEntry::timestamp),
                                              field("endedAt", &HealthTimelineEntry::endedAt),
                                              field("kind", &HealthTimelineEntry::kind),
                                              field("level", &HealthTimelineEntry::level),
                                              field("title", &HealthTimelineEntry::title),
                                              field("evidence", &HealthTimelineEntry::evidence),
                                              field("recommendation", &HealthTimelineEntry::recommendation)};
};
} // namespace json

QJsonValue healthTimelineEntryToJson(const HealthTimelineEntry& entry) {
    return json::encode(entry);
}

namespace HealthTimelineBuilder {

namespace {

QString confidenceWord(HealthTestConfidence confidence) {
    switch (confidence) {
    case HealthTestConfidence::low:
        return trText("düşük");
    case HealthTestConfidence::medium:
        return trText("orta");
    case HealthTestConfidence::high:
        break;
    }
    return trText("yüksek");
}

int evaluatedCount(const std::vector<HealthTestComponentScore>& components) {
    return static_cast<int>(
        std::count_if(components.begin(), components.end(),
                      [](const HealthTestComponentScore& c) { return c.score.has_value(); }));
}

// [start, end] (end absent: still running) meets [cutoff, now].
bool overlapsWindow(Date start, std::optional<Date> end, Date cutoff, Date now) {
    return start <= now && (!end || *end >= cutoff);
}

const QString kTestRecommendation =
    trText("Bileşen kanıtlarını inceleyip testi aynı güç ve ortam koşullarında tekrarlayın.");

void addAlerts(std::vector<HealthTimelineEntry>& out, const std::vector<HealthEvent>& events, Date cutoff,
               Date now) {
    for (const HealthAlertObservationGroup& group :
         HealthAlertObservationGroup::groups(events, cutoff, now)) {
        const HealthEvent& latest = group.observations.back();
        QString evidence = latest.evidence;
        if (group.observations.size() > 1) {
            const QString since = L10n::date(group.observations.front().timestamp,
                                             L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
            evidence = trTemplate("\\(since) itibarıyla \\(count) eşleşen gözlem. Son kanıt gösteriliyor; "
                                  "kesintisiz süre ve düzelme bilinmiyor.",
                                  {since, QString::number(group.observations.size())});
        }
        std::optional<QString> recommendation;
        if (!latest.recommendation.isEmpty())
            recommendation = latest.recommendation;
        out.push_back({QStringLiteral("event-") + uuidText(latest.id), latest.timestamp, std::nullopt,
                       HealthTimelineEntryKind::healthAlert, latest.level, latest.title, evidence,
                       recommendation});
    }
}

void addIncidents(std::vector<HealthTimelineEntry>& out, const std::vector<IncidentSession>& incidents,
                  Date cutoff, Date now) {
    for (const IncidentSession& incident : incidents) {
        if (!overlapsWindow(incident.startedAt, incident.endedAt, cutoff, now))
            continue;
        out.push_back({QStringLiteral("incident-") + uuidText(incident.id), incident.startedAt,
                       incident.endedAt, HealthTimelineEntryKind::incident, HealthLevel::attention,
                       incident.endedAt ? trText("Olay zaman aralığı") : trText("Olay işareti açık"),
                       trText("Kullanıcı bir sorun zaman aralığını işaretledi."),
                       trText("Aynı zaman aralığındaki sağlık ve kaynak sinyallerini birlikte inceleyin.")});
    }
}

void addSessions(std::vector<HealthTimelineEntry>& out, const std::vector<PerformanceSession>& sessions,
                 Date cutoff, Date now) {
    for (const PerformanceSession& session : sessions) {
        if (!overlapsWindow(session.startedAt, session.endedAt, cutoff, now))
            continue;
        const bool hot = session.highestThermalLevel == ThermalLevel::serious ||
                         session.highestThermalLevel == ThermalLevel::critical;
        const bool busy = session.peakCPUUsage && *session.peakCPUUsage >= 0.9;
        out.push_back({QStringLiteral("performance-") + uuidText(session.id), session.startedAt,
                       session.endedAt, HealthTimelineEntryKind::performanceSession,
                       hot || busy ? HealthLevel::attention : HealthLevel::normal, session.name,
                       trTemplate("\\(count) ölçüm; CPU zirvesi \\(peak); en yüksek termal durum \\(thermal)",
                                  {QString::number(session.sampleCount),
                                   MetricFormatting::percentage(session.peakCPUUsage),
                                   SnapshotPresentation::thermalLevelText(session.highestThermalLevel)}),
                       trText("Oturumu benzer koşullarda tekrar edip Kaynak Analizi ile karşılaştırın.")});
    }
}

void addTests(std::vector<HealthTimelineEntry>& out, const std::vector<HealthTestResult>& quick,
              const std::vector<DeepHealthTestResult>& deep, Date cutoff, Date now) {
    for (const HealthTestResult& result : quick) {
        if (!overlapsWindow(result.startedAt, result.endedAt, cutoff, now))
            continue;
        out.push_back({QStringLiteral("test-") + uuidText(result.id), result.startedAt, result.endedAt,
                       HealthTimelineEntryKind::healthTest, levelForHealthScore(result.healthScore),
                       trTemplate("Hızlı sağlık testi %\\(score)", {QString::number(result.healthScore)}),
                       trTemplate("\\(count) bileşen değerlendirildi; güven \\(confidence)",
                                  {QString::number(evaluatedCount(result.components)),
                                   confidenceWord(result.confidence)}),
                       kTestRecommendation});
    }
    for (const DeepHealthTestResult& result : deep) {
        if (!overlapsWindow(result.startedAt, result.endedAt, cutoff, now))
            continue;
        out.push_back(
            {QStringLiteral("test-") + uuidText(result.id), result.startedAt, result.endedAt,
             HealthTimelineEntryKind::healthTest, levelForHealthScore(result.healthScore),
             trTemplate("Derin sağlık testi %\\(score)", {QString::number(result.healthScore)}),
             trTemplate("\\(count) bileşen değerlendirildi; sürdürülebilir kapasite %\\(capacity); güven "
                        "\\(confidence)",
                        {QString::number(result.evaluatedComponentCount()),
                         QString::number(result.sustainedCapacityScore), confidenceWord(result.confidence)}),
             kTestRecommendation});
    }
}

void addNetwork(std::vector<HealthTimelineEntry>& out, const std::optional<NetworkQualityResult>& result,
                Date cutoff, Date now) {
    if (!result || result->timestamp < cutoff || result->timestamp > now)
        return;
    const bool weak =
        result->quality == NetworkQualityLevel::fair || result->quality == NetworkQualityLevel::poor;
    std::optional<QString> recommendation;
    if (weak)
        recommendation = trText("Wi-Fi sinyalini kontrol edip testi yönlendiriciye yakınken tekrarlayın.");
    out.push_back(
        {QStringLiteral("network-") + uuidText(result->id), result->timestamp, std::nullopt,
         HealthTimelineEntryKind::networkTest, weak ? HealthLevel::attention : HealthLevel::normal,
         trTemplate("Ağ kalitesi: \\(quality)", {qualityLevelTitle(result->quality)}),
         trTemplate("Ortanca yanıt \\(median) ms; başarılı deneme \\(successful)/\\(attempted)",
                    {QString::number(roundedInteger(result->medianResponseMilliseconds)),
                     QString::number(result->successfulProbes), QString::number(result->attemptedProbes)}),
         recommendation});
}

void addResource(std::vector<HealthTimelineEntry>& out, const ResourceCulpritAnalysis& analysis, Date cutoff,
                 Date now) {
    const std::optional<AppResourceSummary> leading = analysis.leadingCandidate();
    if (!leading)
        return;
    // The analysis covers the observations of this run; it is dated by its last one.
    const Date at = analysis.endedAt.value_or(now);
    if (at < cutoff || (analysis.startedAt && *analysis.startedAt > now))
        return;
    out.push_back(
        {QStringLiteral("resource-") + leading->application.name, std::min(at, now), std::nullopt,
         HealthTimelineEntryKind::resourcePressure,
         leading->impact == CulpritImpact::high ? HealthLevel::attention : HealthLevel::normal,
         trTemplate("\\(name) kaynak baskısıyla eşleşti", {leading->application.name}),
         trTemplate("\\(count) onaylı ön plan gözleminde CPU zirvesi \\(peak) olarak ölçüldü.",
                    {QString::number(leading->observationCount),
                     MetricFormatting::percentage(leading->peakCPUUsage)}),
         trText("Aynı iş yükünü uygulama kapalıyken karşılaştırın; bu eşleşme tek başına neden kanıtı "
                "değildir.")});
}

} // namespace

HealthLevel levelForHealthScore(int healthScore) {
    if (healthScore >= 75)
        return HealthLevel::normal;
    if (healthScore >= 50)
        return HealthLevel::attention;
    return HealthLevel::critical;
}

std::vector<HealthTimelineEntry> entries(const std::vector<HealthEvent>& events,
                                         const std::vector<IncidentSession>& incidents,
                                         const std::vector<PerformanceSession>& performanceSessions,
                                         const std::vector<HealthTestResult>& healthTestResults,
                                         const std::vector<DeepHealthTestResult>& deepHealthTestResults,
                                         const std::optional<NetworkQualityResult>& networkQualityResult,
                                         const ResourceCulpritAnalysis& resourceAnalysis, Date now,
                                         double lookback) {
    const Date cutoff = now.addingSeconds(-lookback);
    std::vector<HealthTimelineEntry> result;
    addAlerts(result, events, cutoff, now);
    addIncidents(result, incidents, cutoff, now);
    addSessions(result, performanceSessions, cutoff, now);
    addTests(result, healthTestResults, deepHealthTestResults, cutoff, now);
    addNetwork(result, networkQualityResult, cutoff, now);
    addResource(result, resourceAnalysis, cutoff, now);
    // Newest first; entries of one moment keep the order above.
    std::stable_sort(
        result.begin(), result.end(),
        [](const HealthTimelineEntry& a, const HealthTimelineEntry& b) { return a.timestamp > b.timestamp; });
    return result;
}

} // namespace HealthTimelineBuilder

} // namespace kestrum
