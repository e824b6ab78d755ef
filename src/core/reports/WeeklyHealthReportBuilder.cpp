#include "WeeklyHealthReportBuilder.h"

#include "ReportFormatting.h"
#include "foundation/Translatable.h"
#include "healthtests/PerformancePresentation.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kestrum {

WeeklyHealthReportInput WeeklyHealthReportInput::lastWeek(const HealthArchive& archive, Date now) {
    WeeklyHealthReportInput input;
    input.samples = archive.samples;
    input.events = archive.events;
    input.incidents = archive.incidents;
    input.performanceSessions = archive.performanceSessions;
    input.quickTestResults = archive.healthTestResults;
    input.deepTestResults = archive.deepHealthTestResults;
    input.baseline =
        PersonalBaselineEngine::makeBaseline(archive.samples, now, PersonalBaselineEngine::kLookbackSeconds);
    input.comparisons = archive.processorComparisons;
    input.periodStart = now.addingSeconds(-7 * 24 * 3600.0);
    input.periodEnd = now;
    input.generatedAt = now;
    return input;
}

namespace {

QString coverageLine(const char* name, long long available, long long total) {
    if (total < 1)
        return trTemplate("- \\(name): ölçüm yok", {trText(name)});
    const long long percent = std::llround(double(available) / double(total) * 100.0);
    return trTemplate(
        "- \\(name): \\(available)/\\(total) (%\\(percent))",
        {trText(name), QString::number(available), QString::number(total), QString::number(percent)});
}

QString metricLine(const char* name, std::optional<double> fraction) {
    const bool usable = fraction && std::isfinite(*fraction);
    return trTemplate(
        "- \\(name): \\(value)",
        {trText(name), usable ? MetricFormatting::percentage(fraction, 0) : trText("Kullanılamıyor")});
}

// Alert kinds in the order the insights are ranked elsewhere: thermal first.
const char* alertKindName(HealthInsightKind kind) {
    switch (kind) {
    case HealthInsightKind::thermal:
        return TR_MARK("Termal");
    case HealthInsightKind::cpu:
        return "CPU";
    case HealthInsightKind::memory:
        return TR_MARK("Bellek");
    case HealthInsightKind::disk:
        return TR_MARK("Depolama");
    case HealthInsightKind::battery:
        return TR_MARK("Batarya");
    case HealthInsightKind::wifi:
        return "Wi-Fi";
    case HealthInsightKind::network:
        break;
    }
    return TR_MARK("Ağ");
}

QString comparisonOutcome(const ProcessorComparisonRecord& record) {
    if (!record.result)
        return PerformancePresentation::invalidReasonLabel(record.invalidReason);
    const QString label = PerformancePresentation::resultLabel(*record.result);
    if (!record.before || !record.after)
        return label;
    return trTemplate(
        "\\(result) (\\(before) → \\(after))",
        {label, ReportFormatting::percentage(record.before), ReportFormatting::percentage(record.after)});
}

QString actionText(ProcessorComparisonAction action) {
    switch (action) {
    case ProcessorComparisonAction::unspecified:
        return trText("Adım belirtmedim");
    case ProcessorComparisonAction::observedOnly:
        return trText("Yalnız gözlemledim, değişiklik yapmadım");
    case ProcessorComparisonAction::pausedKnownTask:
        break;
    }
    return trText("Tanıdığım işi kaydedip duraklattım");
}

} // namespace

QString WeeklyHealthReportBuilder::build(const WeeklyHealthReportInput& input) const {
    const auto within = [&input](Date date) {
        return date.secondsSinceReferenceDate >= input.periodStart.secondsSinceReferenceDate &&
               date.secondsSinceReferenceDate <= input.periodEnd.secondsSinceReferenceDate;
    };

    std::vector<const HealthSample*> samples;
    for (const HealthSample& sample : input.samples) {
        if (within(sample.timestamp))
            samples.push_back(&sample);
    }
    std::stable_sort(samples.begin(), samples.end(), [](const HealthSample* a, const HealthSample* b) {
        return a->timestamp.secondsSinceReferenceDate < b->timestamp.secondsSinceReferenceDate;
    });
    std::vector<double> cpu, memory, battery;
    long long thermalKnown = 0, thermalFair = 0, thermalHigh = 0;
    const auto keep = [](std::vector<double>& values, const std::optional<double>& value) {
        if (value && std::isfinite(*value))
            values.push_back(*value);
    };
    for (const HealthSample* sample : samples) {
        keep(cpu, sample->cpuUsage);
        keep(memory, sample->memoryUsage);
        keep(battery, sample->batteryCharge);
        switch (sample->thermalLevel) {
        case ThermalLevel::unavailable:
            continue;
        case ThermalLevel::fair:
            ++thermalFair;
            break;
        case ThermalLevel::serious:
        case ThermalLevel::critical:
            ++thermalHigh;
            break;
        case ThermalLevel::nominal:
            break;
        }
        ++thermalKnown;
    }
    const auto highest = [](const std::vector<double>& values) -> std::optional<double> {
        if (values.empty())
            return std::nullopt;
        return *std::max_element(values.begin(), values.end());
    };
    const auto lowest = [](const std::vector<double>& values) -> std::optional<double> {
        if (values.empty())
            return std::nullopt;
        return *std::min_element(values.begin(), values.end());
    };
    const long long total = qsizetype(samples.size());

    QStringList lines;
    lines << trText("# Kestrum Haftalık Yerel Sağlık Raporu") << QString();
    lines << trTemplate("- Oluşturulma: \\(time)", {ReportFormatting::time(input.generatedAt)});
    lines << trTemplate("- Dönem: \\(start) – \\(end)",
                        {ReportFormatting::time(input.periodStart), ReportFormatting::time(input.periodEnd)});
    lines << trText("- Saklama: Rapor bu Mac’te, kullanıcı isteğiyle oluşturuldu.");

    lines << QString() << trText("## Ölçüm kapsamı");
    lines << trTemplate("- Toplam örnek: \\(count)", {QString::number(total)});
    lines << coverageLine(TR_MARK("CPU"), qsizetype(cpu.size()), total);
    lines << coverageLine(TR_MARK("Bellek"), qsizetype(memory.size()), total);
    lines << coverageLine(TR_MARK("Batarya doluluğu"), qsizetype(battery.size()), total);
    lines << coverageLine(TR_MARK("Termal durum"), thermalKnown, total);

    // The typical drain is the median of the period's discharge sessions, as the personal normal learns
    // it; without one the learned normal stands in.
    std::optional<double> drain =
        PersonalBaselineEngine::percentile(PersonalBaselineEngine::batteryDrainRates(samples), 0.5);
    if (!drain)
        drain = input.baseline.medianBatteryDrainPerHour;

    lines << QString() << trText("## Haftalık özet");
    lines << metricLine(TR_MARK("Ortanca CPU"), PersonalBaselineEngine::percentile(cpu, 0.5));
    lines << metricLine(TR_MARK("CPU zirvesi"), highest(cpu));
    lines << metricLine(TR_MARK("Ortanca bellek"), PersonalBaselineEngine::percentile(memory, 0.5));
    lines << metricLine(TR_MARK("Bellek zirvesi"), highest(memory));
    lines << metricLine(TR_MARK("En düşük batarya doluluğu"), lowest(battery));
    lines << metricLine(TR_MARK("Tipik batarya tüketimi / saat"), drain);
    lines << trTemplate("- Hafif yüksek termal örnek: \\(count)", {QString::number(thermalFair)});
    lines << trTemplate("- Ciddi veya kritik termal örnek: \\(count)", {QString::number(thermalHigh)});

    std::map<HealthInsightKind, long long> alertKinds;
    long long alerts = 0;
    for (const HealthEvent& event : input.events) {
        if (within(event.timestamp)) {
            ++alerts;
            ++alertKinds[event.kind];
        }
    }
    const auto countWithin = [&within](const auto& records, auto dateOf) {
        return QString::number(std::count_if(records.begin(), records.end(),
                                             [&](const auto& record) { return within(dateOf(record)); }));
    };
    const long long sessions =
        std::count_if(input.performanceSessions.begin(), input.performanceSessions.end(),
                      [&within](const PerformanceSession& s) { return s.endedAt && within(*s.endedAt); });
    lines << QString() << trText("## Kaydedilen etkinlikler");
    lines << trTemplate("- Sağlık uyarısı: \\(count)", {QString::number(alerts)});
    lines << trTemplate("- Kullanıcı olay aralığı: \\(count)",
                        {countWithin(input.incidents, [](const IncidentSession& i) { return i.startedAt; })});
    lines << trTemplate("- Tamamlanan performans oturumu: \\(count)", {QString::number(sessions)});
    lines << trTemplate(
        "- Hızlı sağlık testi: \\(count)",
        {countWithin(input.quickTestResults, [](const HealthTestResult& r) { return r.endedAt; })});
    lines << trTemplate(
        "- Derin sağlık testi: \\(count)",
        {countWithin(input.deepTestResults, [](const DeepHealthTestResult& r) { return r.endedAt; })});

    lines << QString() << trText("### Uyarı türleri");
    if (alertKinds.empty())
        lines << trText("Bu dönemde kaydedilmiş sağlık uyarısı yok.");
    for (const auto& [kind, count] : alertKinds)
        lines << trTemplate("- \\(name): \\(value)", {trText(alertKindName(kind)), QString::number(count)});

    std::vector<const ProcessorComparisonRecord*> comparisons;
    for (const ProcessorComparisonRecord& record : input.comparisons) {
        if (within(record.savedAt))
            comparisons.push_back(&record);
    }
    std::stable_sort(comparisons.begin(), comparisons.end(), [](const auto* a, const auto* b) {
        return a->savedAt.secondsSinceReferenceDate < b->savedAt.secondsSinceReferenceDate;
    });
    if (!comparisons.empty()) {
        lines << QString() << trText("### Denenen adımlar ve sonuçları");
        lines << trText("Yalnız kaydettiğin karşılaştırmalar. Değişim, onarım veya neden kanıtı değildir.");
        for (const ProcessorComparisonRecord* record : comparisons)
            lines << trTemplate("- \\(action) — \\(result)",
                                {actionText(record->action), comparisonOutcome(*record)});
    }

    lines << QString() << trText("## Sınırlar ve gizlilik");
    lines << trText("- Bu özet tıbbi veya yetkili servis tanısı değildir.");
    lines << trText("- Eksik ölçümler normal kabul edilmez; kapsam bölümünde ayrı gösterilir.");
    lines << trText(
        "- Kullanıcı notları, uygulama adları, seri numarası, kullanıcı adı, Wi-Fi ağ adı, IP adresi "
        "ve dosya yolları rapora eklenmez.");
    lines << trText("- Rapor otomatik olarak buluta gönderilmez.");
    lines << QString();
    return L10n::report(lines.join(u'\n'));
}

} // namespace kestrum
