#pragma once

#include "FirstHealthSummaryBuilder.h"
#include "FirstHealthSummaryPresentationPolicy.h"
#include "FirstHealthSummaryPresentationState.h"
#include "analytics/ProductAnalyticsEvent.h"
#include "analytics/ProductAnalyticsRecorder.h"
#include "foundation/Clocks.h"

#include <QObject>
#include <QPointer>
#include <optional>

namespace kestrum {

class SystemMonitorStore;

// The summary the window shows: rebuilt on request and, while shown, after every live refresh. Holds no
// rules of its own; the builder and the presentation policy decide. Main thread.
class FirstHealthSummaryStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasSummary READ hasSummary NOTIFY summaryChanged)
    Q_PROPERTY(bool isShown READ isShown WRITE setShown NOTIFY isShownChanged)
    Q_PROPERTY(
        bool shouldPresentAutomatically READ shouldPresentAutomatically NOTIFY presentationStateChanged)

public:
    // `preferences` keeps the presentation state; without it the state lives for this run only.
    FirstHealthSummaryStore(SystemMonitorStore* store, PreferencesStore* preferences,
                            ProductAnalyticsRecorder analytics = {},
                            DateProvider dateProvider = systemDateProvider(), QObject* parent = nullptr);

    // Builds a new summary from what the monitoring store holds now; the first one of a run is reported
    // to analytics as ready.
    Q_INVOKABLE void rebuild();
    // The summary was shown from `entryPoint` (`automatic` when it opened by itself): the first view is
    // remembered and the view reported to analytics with the current coverage.
    void markViewed(ProductAnalyticsEntryPoint entryPoint);
    const FirstHealthSummaryPresentationState& presentationState() const { return m_presentationState; }
    bool shouldPresentAutomatically() const { return m_presentationState.shouldPresentAutomatically(); }

    bool hasSummary() const { return m_summary.has_value(); }
    const std::optional<FirstHealthSummary>& summary() const { return m_summary; }
    const std::optional<FirstHealthSummaryPresentation>& presentation() const { return m_presentation; }
    bool isShown() const { return m_isShown; }
    void setShown(bool shown);

Q_SIGNALS:
    void summaryChanged();
    void isShownChanged();
    void presentationStateChanged();

private:
    ProductAnalyticsCoverage analyticsCoverage() const;

    QPointer<SystemMonitorStore> m_store;
    PreferencesStore* m_preferences = nullptr;
    ProductAnalyticsRecorder m_analytics;
    DateProvider m_dateProvider;
    FirstHealthSummaryBuilder m_builder;
    std::optional<FirstHealthSummary> m_summary;
    std::optional<FirstHealthSummaryPresentation> m_presentation;
    FirstHealthSummaryPresentationState m_presentationState;
    bool m_isShown = false;
    bool m_reportedReady = false;
};

} // namespace kestrum
