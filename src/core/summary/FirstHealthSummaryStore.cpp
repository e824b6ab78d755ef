#include "FirstHealthSummaryStore.h"

#include "FirstHealthSummaryInputFactory.h"
#include "monitor/SystemMonitorStore.h"

namespace kestrum {

FirstHealthSummaryStore::FirstHealthSummaryStore(SystemMonitorStore* store, PreferencesStore* preferences,
                                                 ProductAnalyticsRecorder analytics,
                                                 DateProvider dateProvider, QObject* parent)
    : QObject(parent), m_store(store), m_preferences(preferences), m_analytics(std::move(analytics)),
      m_dateProvider(std::move(dateProvider)) {
    if (m_preferences)
        m_presentationState = FirstHealthSummaryPresentationState::load(*m_preferences, m_dateProvider());
    if (m_store) {
        connect(m_store, &SystemMonitorStore::refreshCompleted, this, [this](quint64, bool succeeded, QUuid) {
            if (m_isShown && succeeded)
                rebuild();
        });
    }
}

void FirstHealthSummaryStore::rebuild() {
    if (!m_store)
        return;
    const Date now = m_dateProvider();
    m_summary = m_builder.build(FirstHealthSummaryInputFactory::makeInput(*m_store, now, m_builder.policy()));
    m_presentation = FirstHealthSummaryPresentationPolicy::resolve(*m_summary);
    if (!m_reportedReady) {
        m_reportedReady = true;
        m_analytics.record(ProductAnalyticsEvent::firstHealthSummaryReady(analyticsCoverage()));
    }
    Q_EMIT summaryChanged();
}

void FirstHealthSummaryStore::markViewed(ProductAnalyticsEntryPoint entryPoint) {
    if (!m_summary)
        rebuild();
    if (!m_summary)
        return;
    m_presentationState.recordViewed(*m_summary, m_dateProvider());
    if (m_preferences)
        m_presentationState.save(*m_preferences);
    Q_EMIT presentationStateChanged();
    m_analytics.record(ProductAnalyticsEvent::firstHealthSummaryViewed(analyticsCoverage(), entryPoint));
}

void FirstHealthSummaryStore::setShown(bool shown) {
    if (m_isShown == shown)
        return;
    m_isShown = shown;
    Q_EMIT isShownChanged();
    if (shown)
        rebuild();
}

ProductAnalyticsCoverage FirstHealthSummaryStore::analyticsCoverage() const {
    return m_summary && m_summary->coverage.isComplete() ? ProductAnalyticsCoverage::complete
                                                         : ProductAnalyticsCoverage::partial;
}

} // namespace kestrum
