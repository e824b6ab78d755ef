#include "HealthTestViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "healthtests/HealthTestTitles.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <numeric>

namespace kestrum {

namespace {

QString localized(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

QString scoreText(std::optional<int> score) {
    return score ? QStringLiteral("%1/100").arg(*score) : MetricFormatting::unavailableText();
}

QString operationsText(std::optional<double> perSecond) {
    if (!perSecond)
        return MetricFormatting::unavailableText();
    return L10n::string(
        trTemplate("\\(value) milyar işlem/sn", {MetricFormatting::number(*perSecond / 1e9, 2)}));
}

QString capacityText(std::optional<int> percent) {
    if (!percent)
        return {};
    return L10n::string(trTemplate("Kişisel kapasite: ilk aynı sürüm testin %\\(percent) düzeyinde",
                                   {QString::number(*percent)}));
}

PresentationGroup componentsGroup(const std::vector<HealthTestComponentScore>& components) {
    PresentationGroup group{QStringLiteral("components"), localized("Bileşenler"), true, {}, {}};
    for (const HealthTestComponentScore& component : components) {
        QString value = scoreText(component.score) + QStringLiteral(" · ") + L10n::string(component.evidence);
        if (component.recommendation)
            value += QStringLiteral("\n→ ") + L10n::string(*component.recommendation);
        group.rows.push_back({L10n::string(HealthTestTitles::title(component.kind)), value});
    }
    return group;
}

// The missing graphics rate's reason and the conditions the result must mention; absent when none.
std::optional<PresentationGroup> notesGroup(const std::optional<QString>& gpuReason,
                                            const std::vector<QString>& warnings) {
    if (!gpuReason && warnings.empty())
        return std::nullopt;
    PresentationGroup group{QStringLiteral("notes"), localized("Notlar"), true, {}, {}};
    if (gpuReason)
        group.rows.push_back({localized("Grafik hesaplama"), L10n::string(*gpuReason)});
    for (const QString& warning : warnings)
        group.rows.push_back({QStringLiteral("!"), L10n::string(warning)});
    return group;
}

} // namespace

HealthTestViewModel::HealthTestViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_quick(store, UserOperation::quickHealthTest),
      m_deep(store, UserOperation::deepHealthTest) {
    follow(&store, &SystemMonitorStore::resultsChanged);
    follow(&store, &SystemMonitorStore::isArchivePreparedChanged);
    rebuildNow();
}

HealthTestViewModel* HealthTestViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<HealthTestViewModel>(engine);
}

bool HealthTestViewModel::startQuick() {
    return m_store.startQuickHealthTest(QStringLiteral("healthTest"));
}

bool HealthTestViewModel::startDeep() {
    return m_store.startDeepHealthTest();
}

void HealthTestViewModel::rebuild() {
    using namespace MetricFormatting;
    QString quickTitle, quickSummary, deepTitle, deepSummary;
    std::vector<PresentationGroup> quickGroups, deepGroups;

    // The archive keeps results oldest first; the latest is shown.
    if (const auto& results = m_store.healthTestResults(); !results.empty()) {
        const HealthTestResult& r = results.back();
        quickTitle = L10n::string(trTemplate("Hızlı sağlık testi · \\(date)", {dateTimeText(r.endedAt)}));
        quickSummary = L10n::string(trTemplate(
            "Sağlık puanı \\(score) · Kararlılık \\(stability) · \\(confidence)",
            {scoreText(r.healthScore), scoreText(r.stabilityScore), HealthTestTitles::title(r.confidence)}));
        if (const QString capacity = capacityText(r.personalCapacityPercent); !capacity.isEmpty())
            quickSummary += QLatin1Char('\n') + capacity;
        quickGroups.push_back(componentsGroup(r.components));
        quickGroups.push_back(
            {QStringLiteral("measurements"),
             localized("Ölçümler"),
             true,
             {},
             {{localized("İşlemci, ilk geçiş"), operationsText(r.firstCPUOperationsPerSecond)},
              {localized("İşlemci, ikinci geçiş"), operationsText(r.secondCPUOperationsPerSecond)},
              {localized("Grafik hesaplama"), operationsText(r.gpuOperationsPerSecond)},
              {localized("Depolama yazma"), rate(r.storage.writeBytesPerSecond)},
              {localized("Depolama okuma"), rate(r.storage.readBytesPerSecond)},
              {localized("Test dosyası"), bytes(double(r.storage.testedBytes))}}});
        if (auto notes = notesGroup(r.gpuUnavailableReason, r.warnings))
            quickGroups.push_back(std::move(*notes));
    }

    if (const auto& results = m_store.deepHealthTestResults(); !results.empty()) {
        const DeepHealthTestResult& r = results.back();
        deepTitle = L10n::string(trTemplate("Derin sağlık testi · \\(date)", {dateTimeText(r.endedAt)}));
        deepSummary = L10n::string(
            trTemplate("Sağlık puanı \\(score) · Sürdürülebilir kapasite \\(sustained) · \\(confidence)",
                       {scoreText(r.healthScore), scoreText(r.sustainedCapacityScore),
                        HealthTestTitles::title(r.confidence)}));
        if (const QString capacity = capacityText(r.personalCapacityPercent); !capacity.isEmpty())
            deepSummary += QLatin1Char('\n') + capacity;
        PresentationGroup findings{QStringLiteral("findings"), localized("Bulgular"), true, {}, {}};
        for (const DeepHealthTestFinding& finding : r.findings) {
            findings.rows.push_back({L10n::string(finding.title), L10n::string(finding.evidence) +
                                                                      QStringLiteral("\n→ ") +
                                                                      L10n::string(finding.recommendation)});
        }
        if (!findings.rows.empty())
            deepGroups.push_back(std::move(findings));
        deepGroups.push_back(componentsGroup(r.components));
        QStringList cpu;
        for (double perSecond : r.cpuOperationsPerSecond)
            cpu.append(number(perSecond / 1e9, 2));
        const std::optional<double> gpuAverage =
            r.gpuOperationsPerSecond.empty()
                ? std::nullopt
                : std::optional(
                      std::accumulate(r.gpuOperationsPerSecond.begin(), r.gpuOperationsPerSecond.end(), 0.0) /
                      double(r.gpuOperationsPerSecond.size()));
        deepGroups.push_back({QStringLiteral("measurements"),
                              localized("Ölçümler"),
                              true,
                              {},
                              {{localized("İşlemci turları"),
                                cpu.isEmpty() ? unavailableText()
                                              : L10n::string(trTemplate("\\(values) milyar işlem/sn",
                                                                        {cpu.join(QStringLiteral(" · "))}))},
                               {localized("Grafik ortalaması"), operationsText(gpuAverage)},
                               {localized("Bellek kopyalama"), rate(r.memory.copyBytesPerSecond)},
                               {localized("Depolama yazma"), rate(r.storage.writeBytesPerSecond)},
                               {localized("Depolama okuma"), rate(r.storage.readBytesPerSecond)}}});
        if (auto notes = notesGroup(r.gpuUnavailableReason, r.warnings))
            deepGroups.push_back(std::move(*notes));
    }

    m_quickGroups.update(quickGroups);
    m_deepGroups.update(deepGroups);
    if (quickTitle == m_quickTitle && quickSummary == m_quickSummary && deepTitle == m_deepTitle &&
        deepSummary == m_deepSummary)
        return;
    m_quickTitle = quickTitle;
    m_quickSummary = quickSummary;
    m_deepTitle = deepTitle;
    m_deepSummary = deepSummary;
    Q_EMIT changed();
}

} // namespace kestrum
