#include "PerformanceViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/FireAndForget.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "healthtests/PerformancePresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QPointer>

namespace kestrum {

namespace {

QString shown(const QString& turkish) {
    return turkish.isEmpty() ? QString() : L10n::localizedFragment(turkish);
}

constexpr ProcessorComparisonAction kActions[] = {ProcessorComparisonAction::pausedKnownTask,
                                                  ProcessorComparisonAction::observedOnly,
                                                  ProcessorComparisonAction::unspecified};

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
}

} // namespace

PerformanceViewModel::ComparisonView PerformanceViewModel::comparisonView(const ProcessorComparison& c,
                                                                          double elapsed) {
    using Phase = ProcessorComparisonPhase;
    namespace P = PerformancePresentation;
    ComparisonView view;
    view.state = P::phaseLabel(c.phase);
    const auto progress = [&](const char* window) {
        return trTemplate("\\(phase): \\(seconds) sn, \\(count) ölçüm",
                          {trText(window), QString::number(roundedInteger(std::max(0.0, elapsed))),
                           QString::number(c.count)});
    };
    const auto mean = [](const char* label, std::optional<double> value) {
        return trTemplate(label, {MetricFormatting::percentage(value, 1)});
    };
    switch (c.phase) {
    case Phase::idle:
        view.instruction =
            trText("Önce olağan kullanımında en az 30 sn başlangıç ölçülür. Sonra değişikliğini "
                   "yaparsın (örneğin tanıdığın yoğun bir işi duraklatırsın) ve en az 60 sn "
                   "sonrası ölçülür. Güç, ölçüm aralığı ve sıcaklık bu sürede sabit kalmalı.");
        view.canStart = true;
        break;
    case Phase::baseline:
        view.instruction = trText("Başlangıç ölçülüyor: en az 30 sn boyunca olağan kullanımını sürdür.");
        view.progress = progress(TR_MARK("Başlangıç"));
        view.canDismiss = true;
        break;
    case Phase::awaitingAction:
        view.instruction = trText("Şimdi değişikliğini yap (örneğin tanıdığın yoğun bir işi duraklat), sonra "
                                  "sonraki ölçümü başlat.");
        view.means = mean("Başlangıç ortalaması: \\(value)", c.baselineMean);
        view.canBegin = true;
        view.canDismiss = true;
        break;
    case Phase::measuring:
        view.instruction = trText("Sonrası ölçülüyor: en az 60 sn.");
        view.progress = progress(TR_MARK("Sonrası"));
        view.means = mean("Başlangıç ortalaması: \\(value)", c.baselineMean);
        view.canDismiss = true;
        break;
    case Phase::finished:
        view.means = mean("Başlangıç ortalaması: \\(value)", c.baselineMean) + QStringLiteral(" · ") +
                     mean("Sonraki ortalama: \\(value)", c.afterMean);
        if (c.result)
            view.verdict = P::resultLabel(*c.result);
        view.canSave = c.result.has_value();
        view.canDismiss = true;
        view.canStart = true;
        break;
    case Phase::invalid:
        view.verdict =
            trTemplate("Karşılaştırma geçersiz: \\(reason)", {P::invalidReasonLabel(c.invalidReason)});
        view.canSave = true;
        view.canDismiss = true;
        view.canStart = true;
        break;
    }
    view.nextStep = c.nextStep().value_or(QString());
    return view;
}

std::vector<QStringList> PerformanceViewModel::sessionComparisonRows(const PerformanceSession& before,
                                                                     const PerformanceSession& after) {
    using namespace MetricFormatting;
    const auto a = PerformancePresentation::figures(before);
    const auto b = PerformancePresentation::figures(after);
    // A difference needs both figures; otherwise there is none to show.
    const auto delta = [](std::optional<double> x, std::optional<double> y) {
        return x && y ? percentagePointDelta(*y - *x) : QStringLiteral("—");
    };
    const QString none = QStringLiteral("—");
    return {
        {trText("CPU ort."), a.averageCPU, b.averageCPU,
         delta(before.averageCPUUsage(), after.averageCPUUsage())},
        {trText("CPU tepe"), a.peakCPU, b.peakCPU, delta(before.peakCPUUsage, after.peakCPUUsage)},
        {trText("Bellek ort."), a.averageMemory, b.averageMemory,
         delta(before.averageMemoryUsage(), after.averageMemoryUsage())},
        {trText("Bellek tepe"), a.peakMemory, b.peakMemory,
         delta(before.peakMemoryUsage, after.peakMemoryUsage)},
        {trText("İndirme ort."), a.averageDownload, b.averageDownload, none},
        {trText("Yükleme ort."), a.averageUpload, b.averageUpload, none},
        {trText("En yüksek termal"), a.highestThermal, b.highestThermal, none},
        {trText("Süre"), a.duration, b.duration, none},
        {trText("Ölçüm"), a.samples, b.samples, none},
        {trText("Batarya değişimi"), a.batteryChange, b.batteryChange,
         before.batteryChange() && after.batteryChange()
             ? percentagePointDelta(PerformanceSessionComparison{before, after}.batteryChangeDelta())
             : none},
    };
}

PerformanceViewModel::PerformanceViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store),
      m_sessions({"name", "started", "duration", "samples", "averageCPU", "peakCPU", "averageMemory",
                  "highestThermal", "running"}),
      m_sessionComparison({"label", "before", "after", "difference"}),
      m_savedComparisons({"savedAt", "action", "outcome", "before", "after"}) {
    follow(&store, &SystemMonitorStore::performanceSessionsChanged);
    follow(&store, &SystemMonitorStore::processorComparisonChanged);
    follow(&store, &SystemMonitorStore::isSavingProcessorComparisonChanged);
    follow(&store, &SystemMonitorStore::resultsChanged);
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    rebuildNow();
}

PerformanceViewModel* PerformanceViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<PerformanceViewModel>(engine);
}

QStringList PerformanceViewModel::comparisonActions() const {
    QStringList labels;
    for (const ProcessorComparisonAction action : kActions)
        labels.append(shown(PerformancePresentation::actionLabel(action)));
    return labels;
}

void PerformanceViewModel::startSession(const QString& name) {
    fireAndForget(runSessionChange(true, name), "starting a performance session");
}

void PerformanceViewModel::stopSession() {
    fireAndForget(runSessionChange(false, {}), "stopping a performance session");
}

QCoro::Task<void> PerformanceViewModel::runSessionChange(bool start, QString name) {
    QPointer<PerformanceViewModel> self(this);
    const bool running = m_store.activePerformanceSession().has_value();
    QString message;
    if (start && running) {
        message = trText("Bir performans oturumu zaten sürüyor.");
    } else if (!start && !running) {
        message = trText("Süren bir performans oturumu yok.");
    } else {
        // Named, not a temporary inside the co_await expression: this compiler destroys such a
        // temporary twice.
        QCoro::Task<bool> change =
            start ? m_store.startPerformanceSession(name) : m_store.stopPerformanceSession();
        const bool saved = co_await std::move(change);
        if (!self)
            co_return;
        if (!saved)
            message = m_store.persistenceError().isEmpty() ? trText("Oturum kaydedilemedi.")
                                                           : m_store.persistenceError();
    }
    m_sessionMessage = shown(message);
    rebuildNow();
    Q_EMIT changed();
}

bool PerformanceViewModel::compareSessions(const QString& beforeKey, const QString& afterKey) {
    const auto& sessions = m_store.performanceSessions();
    const auto known = [&](const QString& key) {
        return std::any_of(sessions.begin(), sessions.end(), [&](const PerformanceSession& s) {
            return s.id.toString(QUuid::WithoutBraces) == key;
        });
    };
    if (!known(beforeKey) || !known(afterKey))
        return false;
    m_beforeKey = beforeKey;
    m_afterKey = afterKey;
    rebuildNow();
    return true;
}

void PerformanceViewModel::closeSessionComparison() {
    m_beforeKey.clear();
    m_afterKey.clear();
    rebuildNow();
}

void PerformanceViewModel::setComparisonMessage(const QString& message) {
    const QString text = shown(message);
    if (text != m_comparisonMessage) {
        m_comparisonMessage = text;
        Q_EMIT changed();
    }
}

bool PerformanceViewModel::startComparison() {
    const bool started = m_store.startProcessorComparison();
    setComparisonMessage(started ? QString()
                                 : trText("Karşılaştırma başlatılamadı: canlı izleme açık olmalı, bilgisayar "
                                          "uyanık olmalı ve başka bir test çalışmamalı."));
    rebuildNow();
    return started;
}

bool PerformanceViewModel::beginAfterWindow() {
    const bool began = m_store.beginProcessorComparisonAfterWindow();
    setComparisonMessage(began ? QString()
                               : trText("Sonraki ölçüm başlatılamadı: karşılaştırma eyleminizi beklemiyor."));
    rebuildNow();
    return began;
}

void PerformanceViewModel::dismissComparison() {
    m_store.dismissProcessorComparison();
    setComparisonMessage({});
    rebuildNow();
}

void PerformanceViewModel::saveComparison(int actionIndex) {
    if (actionIndex < 0 || actionIndex >= static_cast<int>(std::size(kActions)))
        actionIndex = static_cast<int>(std::size(kActions)) - 1;
    fireAndForget(runSave(kActions[actionIndex]), "saving a processor comparison");
}

QCoro::Task<void> PerformanceViewModel::runSave(ProcessorComparisonAction action) {
    QPointer<PerformanceViewModel> self(this);
    QCoro::Task<bool> saving = m_store.saveProcessorComparison(action);
    const bool saved = co_await std::move(saving);
    if (!self)
        co_return;
    setComparisonMessage(saved ? trText("Karşılaştırma kaydedildi.")
                         : m_store.persistenceError().isEmpty()
                             ? trText("Kaydedilecek bitmiş bir karşılaştırma yok.")
                             : m_store.persistenceError());
    rebuildNow();
}

void PerformanceViewModel::rebuild() {
    namespace P = PerformancePresentation;
    bool dirty = false;
    const auto assign = [&dirty](auto& field, const auto& value) {
        if (field != value) {
            field = value;
            dirty = true;
        }
    };

    const auto active = m_store.activePerformanceSession();
    QString activeText;
    if (active) {
        const auto f = P::figures(*active);
        activeText =
            L10n::string(trTemplate("\\(name) sürüyor · \\(started) başladı · \\(samples)",
                                    {active->name, dateTimeText(active->startedAt), shown(f.samples)}));
    }
    assign(m_activeSession, activeText);

    // Newest first.
    const auto& sessions = m_store.performanceSessions();
    std::vector<KeyedListModel::Row> sessionRows;
    const PerformanceSession* before = nullptr;
    const PerformanceSession* after = nullptr;
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
        const PerformanceSession& s = *it;
        const QString key = s.id.toString(QUuid::WithoutBraces);
        if (key == m_beforeKey)
            before = &s;
        if (key == m_afterKey)
            after = &s;
        const auto f = P::figures(s);
        sessionRows.push_back(
            {key,
             {s.name, dateTimeText(s.startedAt),
              s.isRunning() ? L10n::string(trText("sürüyor")) : shown(f.duration), shown(f.samples),
              f.averageCPU, f.peakCPU, f.averageMemory, shown(f.highestThermal), s.isRunning()}});
    }
    m_sessions.update(std::move(sessionRows));

    std::vector<KeyedListModel::Row> comparisonRows;
    QString comparisonTitle;
    if (before && after) {
        comparisonTitle = L10n::string(trTemplate("\\(before) → \\(after)", {before->name, after->name}));
        for (const QStringList& row : sessionComparisonRows(*before, *after))
            comparisonRows.push_back({row[0], {shown(row[0]), shown(row[1]), shown(row[2]), shown(row[3])}});
    }
    assign(m_sessionComparisonTitle, comparisonTitle);
    m_sessionComparison.update(std::move(comparisonRows));

    const ProcessorComparison& comparison = m_store.processorComparison();
    const double elapsed = comparison.isActive() ? m_store.continuityClock() - comparison.phaseStart : 0;
    ComparisonView view = comparisonView(comparison, elapsed);
    for (QString* text :
         {&view.state, &view.instruction, &view.progress, &view.means, &view.verdict, &view.nextStep})
        *text = shown(*text);
    view.canSave = view.canSave && !m_store.isSavingProcessorComparison();
    assign(m_view, view);
    assign(m_comparisonPhase, rawValue(comparison.phase));

    std::vector<KeyedListModel::Row> savedRows;
    const auto& records = m_store.processorComparisons();
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const ProcessorComparisonRecord& r = *it;
        const QString outcome = r.result ? P::resultLabel(*r.result)
                                         : trTemplate("Karşılaştırma geçersiz: \\(reason)",
                                                      {P::invalidReasonLabel(r.invalidReason)});
        savedRows.push_back(
            {r.id.toString(QUuid::WithoutBraces),
             {dateTimeText(r.savedAt), shown(P::actionLabel(r.action)), shown(outcome),
              MetricFormatting::percentage(r.before, 1), MetricFormatting::percentage(r.after, 1)}});
    }
    m_savedComparisons.update(std::move(savedRows));
    if (dirty)
        Q_EMIT changed();
}

} // namespace kestrum
