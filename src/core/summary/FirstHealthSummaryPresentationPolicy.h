#pragma once

#include "FirstHealthSummary.h"

#include <QString>

namespace kestrum {

// Turkish keys; the interface localises them at display (L10n::string).
struct FirstHealthSummaryCoveragePresentation {
    FirstHealthSummaryEvidenceCategory category = FirstHealthSummaryEvidenceCategory::systemHealth;
    FirstHealthSummaryCoverageStatus status = FirstHealthSummaryCoverageStatus::unavailable;
    QString text;
    bool operator==(const FirstHealthSummaryCoveragePresentation&) const = default;
};

struct FirstHealthSummaryFindingPresentation {
    QString findingID; // "quickHealthTest.lowStorage"
    QString title;
    QString explanation;
    FirstHealthSummaryFindingUrgency urgency = FirstHealthSummaryFindingUrgency::attention;
    bool operator==(const FirstHealthSummaryFindingPresentation&) const = default;
};

struct FirstHealthSummaryPresentation {
    QString headline;
    QString explanation;
    QString confidenceText;
    std::vector<FirstHealthSummaryCoveragePresentation> coverage;
    std::vector<FirstHealthSummaryFindingPresentation> findings;
    QString nextActionText;
    QString nextActionButton;
    bool operator==(const FirstHealthSummaryPresentation&) const = default;
};

namespace FirstHealthSummaryPresentationPolicy {

FirstHealthSummaryPresentation resolve(const FirstHealthSummary& summary);

QString confidenceText(FirstHealthSummaryConfidence confidence);
QString coverageText(const FirstHealthSummaryCoverageItem& item);
QString findingTitle(FirstHealthSummaryFindingKind kind);
QString findingExplanation(FirstHealthSummaryFindingKind kind);
QString actionText(FirstHealthSummaryAction action);
QString actionButton(FirstHealthSummaryAction action);

} // namespace FirstHealthSummaryPresentationPolicy

} // namespace kestrum
