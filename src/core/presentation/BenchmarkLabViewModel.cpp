#include "BenchmarkLabViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "healthtests/HealthTestTitles.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

namespace {

QString localized(const char* turkish) {
    return L10n::string(trText(turkish));
}

// The median rate of the samples; missing without samples, never a zero rate.
QString medianRate(const std::vector<double>& samples) {
    if (samples.empty())
        return MetricFormatting::unavailableText();
    return MetricFormatting::rate(CPUBenchmarkStatistics::median(samples));
}

} // namespace

BenchmarkLabViewModel::BenchmarkLabViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_benchmark(store, UserOperation::cpuBenchmark) {
    follow(&store, &SystemMonitorStore::resultsChanged);
    rebuildNow();
}

BenchmarkLabViewModel* BenchmarkLabViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<BenchmarkLabViewModel>(engine);
}

bool BenchmarkLabViewModel::start(bool standard) {
    return m_store.startCPUBenchmark(standard ? CPUBenchmarkMode::standard : CPUBenchmarkMode::quick,
                                     QStringLiteral("benchmarkLab"));
}

void BenchmarkLabViewModel::rebuild() {
    const auto& results = m_store.cpuBenchmarkResults();
    QString title, summary;
    std::vector<PresentationGroup> groups;
    if (!results.empty()) {
        const CPUBenchmarkResult& r = results.back(); // kept oldest first
        title = L10n::string(
            trTemplate("CPU benchmark (\\(mode)) · \\(date)",
                       {HealthTestTitles::title(r.mode),
                        L10n::date(r.endedAt, L10n::DateStyle::numeric, L10n::TimeStyle::standard)}));
        summary = L10n::string(
            trTemplate("Tekrarlanabilirlik %\\(percent) · \\(confidence)",
                       {QString::number(r.repeatabilityPercent()), HealthTestTitles::title(r.confidence)}));
        if (r.personalPerformancePercent) {
            summary += QLatin1Char('\n') +
                       L10n::string(trTemplate("Önceki karşılaştırılabilir sonuca göre %\\(percent)",
                                               {QString::number(*r.personalPerformancePercent)}));
        }
        groups.push_back({QStringLiteral("rates"),
                          localized("Sıkıştırma hızı (ortanca)"),
                          true,
                          {},
                          {{localized("Tek çekirdek"), medianRate(r.singleCoreSamples)},
                           {L10n::string(trTemplate("Çok çekirdek (\\(workers) işçi)",
                                                    {QString::number(r.environment.workerCount)})),
                            medianRate(r.multiCoreSamples)}}});
        if (!r.warnings.empty()) {
            PresentationGroup notes{QStringLiteral("notes"), localized("Notlar"), true, {}, {}};
            for (const QString& warning : r.warnings)
                notes.rows.push_back({QStringLiteral("!"), L10n::string(warning)});
            groups.push_back(std::move(notes));
        }
    }
    m_groups.update(groups);
    const int count = static_cast<int>(results.size());
    if (title == m_title && summary == m_summary && count == m_count)
        return;
    m_title = title;
    m_summary = summary;
    m_count = count;
    Q_EMIT changed();
}

} // namespace kestrum
