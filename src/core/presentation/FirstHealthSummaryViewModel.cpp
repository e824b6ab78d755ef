#include "FirstHealthSummaryViewModel.h"

#include "ViewModelInstances.h"
#include "localisation/L10n.h"

namespace kestrum {

namespace {

QString localised(const QString& turkish) {
    return L10n::string(turkish);
}

// The theme's level names: a colour for the verdict, each finding and each evidence area.
QString levelOf(FirstHealthSummaryOverallState state) {
    switch (state) {
    case FirstHealthSummaryOverallState::healthy:
        return QStringLiteral("normal");
    case FirstHealthSummaryOverallState::attention:
        return QStringLiteral("attention");
    case FirstHealthSummaryOverallState::concern:
        return QStringLiteral("critical");
    case FirstHealthSummaryOverallState::insufficientEvidence:
        break;
    }
    return QStringLiteral("unavailable");
}

QString levelOf(FirstHealthSummaryFindingUrgency urgency) {
    return urgency == FirstHealthSummaryFindingUrgency::attention ? QStringLiteral("attention")
                                                                  : QStringLiteral("critical");
}

QString levelOf(FirstHealthSummaryCoverageStatus status) {
    switch (status) {
    case FirstHealthSummaryCoverageStatus::checked:
        return QStringLiteral("normal");
    case FirstHealthSummaryCoverageStatus::partiallyChecked:
    case FirstHealthSummaryCoverageStatus::stale:
        return QStringLiteral("attention");
    default:
        return QStringLiteral("unavailable");
    }
}

} // namespace

FirstHealthSummaryDestination firstHealthSummaryDestination(FirstHealthSummaryAction action) {
    using A = FirstHealthSummaryAction;
    using S = NavigationSection;
    const auto section = [](S s) {
        return FirstHealthSummaryDestination{FirstHealthSummaryDestination::Kind::section, s};
    };
    switch (action) {
    case A::stopIntensiveWorkAndCool:
    case A::reduceSystemLoad:
        return section(S::performance);
    case A::freeDiskSpace:
        // Here the storage map shows what fills the disk; its button says so on this platform.
        return section(S::storageMap);
    case A::reviewBatteryCondition:
        return section(S::battery);
    case A::improveWiFi:
    case A::improveNetworkConditions:
    case A::runNetworkQualityTest:
    case A::retryNetworkWhenOnline:
        return section(S::network);
    case A::runQuickHealthTest:
    case A::rerunQuickHealthTestAfterRestart:
        return section(S::healthTest);
    case A::retryLiveMeasurement:
        return {FirstHealthSummaryDestination::Kind::refresh, S::overview};
    case A::noActionNeeded:
        break;
    }
    return section(S::overview);
}

FirstHealthSummaryViewModel::FirstHealthSummaryViewModel(FirstHealthSummaryStore& store,
                                                         std::function<void(NavigationSection)> openSection,
                                                         std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_store(store), m_openSection(std::move(openSection)), m_refresh(std::move(refresh)),
      m_coverage({"text", "level"}), m_findings({"title", "explanation", "level"}) {
    connect(&m_store, &FirstHealthSummaryStore::summaryChanged, this,
            &FirstHealthSummaryViewModel::rebuildTexts);
    connect(&m_store, &FirstHealthSummaryStore::isShownChanged, this,
            &FirstHealthSummaryViewModel::isOpenChanged);
    rebuildTexts();
}

FirstHealthSummaryViewModel* FirstHealthSummaryViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<FirstHealthSummaryViewModel>(engine);
}

void FirstHealthSummaryViewModel::open(const QString& entryPoint) {
    openFrom(
        fromRawValue<ProductAnalyticsEntryPoint>(entryPoint).value_or(ProductAnalyticsEntryPoint::overview));
}

void FirstHealthSummaryViewModel::openFrom(ProductAnalyticsEntryPoint entryPoint) {
    if (m_store.isShown())
        return;
    m_store.setShown(true); // builds the summary from what is fresh now
    m_store.markViewed(entryPoint);
}

void FirstHealthSummaryViewModel::close() {
    m_store.setShown(false);
}

void FirstHealthSummaryViewModel::performNextAction() {
    if (!m_store.summary())
        return;
    const FirstHealthSummaryDestination destination =
        firstHealthSummaryDestination(m_store.summary()->nextAction);
    if (destination.kind == FirstHealthSummaryDestination::Kind::refresh) {
        // The summary stays open and is rebuilt when the new sample is in.
        if (m_refresh)
            m_refresh();
        return;
    }
    close();
    if (m_openSection)
        m_openSection(destination.section);
}

void FirstHealthSummaryViewModel::setWindowShown(bool shown) {
    m_windowShown = shown;
    presentAutomaticallyIfDue();
}

void FirstHealthSummaryViewModel::measurementArrived() {
    m_measured = true;
    presentAutomaticallyIfDue();
}

void FirstHealthSummaryViewModel::presentAutomaticallyIfDue() {
    // Opened by itself only over a real measurement, so that a first look is never a summary of nothing.
    if (m_windowShown && m_measured && m_store.shouldPresentAutomatically())
        openFrom(ProductAnalyticsEntryPoint::automatic);
}

void FirstHealthSummaryViewModel::rebuildTexts() {
    const auto& summary = m_store.summary();
    const auto& presentation = m_store.presentation();
    if (!summary || !presentation) {
        m_state = levelOf(FirstHealthSummaryOverallState::insufficientEvidence);
        m_headline = m_explanation = m_confidence = m_actionText = m_actionButton = QString();
        m_coverage.update({});
        m_findings.update({});
        Q_EMIT changed();
        return;
    }
    m_state = levelOf(summary->overallState);
    m_headline = localised(presentation->headline);
    m_explanation = localised(presentation->explanation);
    m_confidence = localised(presentation->confidenceText);
    m_actionText = localised(presentation->nextActionText);
    m_actionButton = localised(presentation->nextActionButton);
    std::vector<KeyedListModel::Row> coverage;
    for (const FirstHealthSummaryCoveragePresentation& item : presentation->coverage)
        coverage.push_back({rawValue(item.category), {localised(item.text), levelOf(item.status)}});
    m_coverage.update(std::move(coverage));
    std::vector<KeyedListModel::Row> findings;
    for (const FirstHealthSummaryFindingPresentation& finding : presentation->findings)
        findings.push_back(
            {finding.findingID,
             {localised(finding.title), localised(finding.explanation), levelOf(finding.urgency)}});
    m_findings.update(std::move(findings));
    Q_EMIT changed();
}

} // namespace kestrum
