#include "ResourceAnalysisViewModel.h"

#include "ViewModelInstances.h"
#include "culprits/ResourceCulpritPresentation.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

namespace kestrum {

namespace {

QString shown(const QString& turkish) {
    return turkish.isEmpty() ? QString() : L10n::localizedFragment(turkish);
}

QStringList shown(const QStringList& turkish) {
    QStringList out;
    for (const QString& text : turkish)
        out.append(shown(text));
    return out;
}

// Assigns and notes whether anything changed, so that one rebuild emits at most one signal.
template <class T> void assign(T& field, const T& value, bool& changed) {
    if (field != value) {
        field = value;
        changed = true;
    }
}

} // namespace

ResourceAnalysisViewModel::ResourceAnalysisViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store),
      m_applications({"application", "averageCPU", "peakCPU", "memory", "signal"}),
      m_usage({"application", "cpuTime", "recentCPU", "memory", "diskRead", "diskWritten"}) {
    follow(&store, &SystemMonitorStore::resourceAnalysisEnabledChanged);
    follow(&store, &SystemMonitorStore::resourceActivityObservationsChanged);
    follow(&store, &SystemMonitorStore::applicationUsageChanged);
    follow(&store, &SystemMonitorStore::sampleIntervalChanged);
    rebuildNow();
}

ResourceAnalysisViewModel* ResourceAnalysisViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<ResourceAnalysisViewModel>(engine);
}

void ResourceAnalysisViewModel::setConsent(bool consent) {
    m_store.setResourceAnalysisEnabled(consent);
    // The withdrawal must not linger on screen until the next turn of the event loop.
    rebuildNow();
}

void ResourceAnalysisViewModel::clearObservations() {
    m_store.clearResourceActivity();
    rebuildNow();
}

void ResourceAnalysisViewModel::rebuild() {
    namespace P = ResourceCulpritPresentation;
    bool dirty = false;
    const bool consented = m_store.resourceAnalysisEnabled();
    assign(m_consented, consented, dirty);

    const P::ConsentRequest request = P::consentRequest(m_store.sampleInterval());
    assign(m_title, shown(request.title), dirty);
    assign(m_subtitle, shown(request.subtitle), dirty);
    assign(m_caveat, shown(request.caveat), dirty);
    // The question stays readable after consent too: it says what is being observed.
    assign(m_badge, shown(request.badge), dirty);
    assign(m_explanation, shown(request.explanation), dirty);
    assign(m_privacyPoints, shown(request.privacyPoints), dirty);
    assign(m_consentButton, shown(request.button), dirty);

    std::vector<KeyedListModel::Row> applicationRows;
    std::vector<KeyedListModel::Row> usageRows;
    P::ActiveObservation screen;
    P::UsageTable usage;
    QString foregroundUnavailable;
    bool hasLeading = false;
    if (consented) {
        const ResourceCulpritAnalysis analysis = m_store.resourceCulpritAnalysis();
        screen = P::activeObservation(analysis);
        hasLeading = analysis.leadingCandidate().has_value();
        for (size_t i = 0; i < screen.rows.size() && i < analysis.applications.size(); ++i) {
            const P::TableRow& row = screen.rows[i];
            applicationRows.push_back(
                {analysis.applications[i].id(),
                 {row.application, row.averageCPU, row.peakCPU, row.memory, shown(row.signal)}});
        }
        const MetricAvailability foreground = m_store.foregroundApplicationAvailability();
        if (!foreground.isAvailable())
            foregroundUnavailable =
                L10n::string(trText("Ön plandaki uygulama bilinemiyor:")) + u' ' + shown(foreground.reason);
        const ApplicationUsageReport& report = m_store.applicationUsage();
        usage = P::usageTable(report);
        for (size_t i = 0; i < usage.rows.size() && i < report.applications.size(); ++i) {
            const P::UsageRow& row = usage.rows[i];
            usageRows.push_back(
                {report.applications[i].applicationID,
                 {row.application, row.cpuTime, row.recentCPU, row.memory, row.diskRead, row.diskWritten}});
        }
        if (report.availability.isAvailable() && usageRows.empty())
            usage.unavailableReason = trText("Şu an uygulama birimi olarak çalışan uygulama yok.");
    }
    assign(m_state, shown(screen.state), dirty);
    assign(m_switchOffHint, shown(screen.switchOffHint), dirty);
    assign(m_clearButton, shown(screen.clearButton), dirty);
    assign(m_clearHint, shown(screen.clearHint), dirty);
    assign(m_foregroundUnavailable, foregroundUnavailable, dirty);
    assign(m_isEmpty, screen.isEmpty, dirty);
    assign(m_emptyTitle, shown(screen.emptyTitle), dirty);
    assign(m_emptyDetail, shown(screen.emptyDetail), dirty);
    assign(m_hasLeadingCandidate, hasLeading, dirty);
    assign(m_leadingTitle, shown(screen.leadingTitle), dirty);
    assign(m_leadingDetail, shown(screen.leadingDetail), dirty);
    assign(m_tableTitle, shown(screen.tableTitle), dirty);
    assign(m_columns, shown(screen.columns), dirty);
    assign(m_usageTitle, consented ? shown(usage.title) : QString(), dirty);
    assign(m_usageCaption, consented ? shown(usage.caption) : QString(), dirty);
    assign(m_usageUnavailable, shown(usage.unavailableReason), dirty);
    assign(m_usageNote, shown(usage.diskNote), dirty);
    assign(m_usageColumns, shown(usage.columns), dirty);
    m_applications.update(std::move(applicationRows));
    m_usage.update(std::move(usageRows));
    if (dirty)
        Q_EMIT changed();
}

} // namespace kestrum
