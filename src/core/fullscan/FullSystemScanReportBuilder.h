#pragma once

#include "FullSystemScanEvidence.h"
#include "FullSystemScanResult.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace kestrum {

// Assembles a scan's result from what its steps collected, and writes a finished result as the Markdown
// document the user exports. Stateless apart from the words it must hide; the same inputs and interface
// language give the same text.
struct FullSystemScanReportBuilder {
    // Names no input reveals by itself (the user's, the host's, serials); the snapshot's network names and
    // addresses are added by `makeResult`. Every free text taken from the inputs is redacted with them.
    QStringList privateWords;

    static constexpr int kHistoryLimit = 12;

    FullSystemScanResult makeResult(const FullSystemScanEvidence& evidence, QUuid id) const;

    // One builder per component kind, in the result's order.
    std::vector<FullSystemScanComponentResult> makeComponents(const FullSystemScanEvidence& evidence) const;
    std::vector<FullSystemScanFinding>
    makeFindings(const FullSystemScanEvidence& evidence,
                 const std::vector<FullSystemScanComponentResult>& components) const;
    // Weighted mean of the completed, scored, weighted components; absent when there is none.
    static std::optional<int> weightedScore(const std::vector<FullSystemScanComponentResult>& components);
    // The weight of a kind in the overall score (0: not weighted).
    static int weight(FullSystemScanComponentKind kind);
    static HealthTestConfidence confidence(const std::vector<FullSystemScanComponentResult>& components,
                                           const std::optional<HealthTestResult>& quick,
                                           const std::optional<DeepHealthTestResult>& deep);
    static QString simpleSummary(const std::vector<FullSystemScanFinding>& findings,
                                 int completedComponentCount, std::optional<int> overallScore);
    static QString technicalSummary(const FullSystemScanEvidence& evidence,
                                    const std::vector<FullSystemScanComponentResult>& components,
                                    std::optional<int> overallScore);

    // The document: lines joined with "\n", no line feed after the last one; English when the interface is.
    QString markdown(const FullSystemScanResult& result) const;

    static QString privacyNote();
    static QString title(FullSystemScanComponentKind kind);
    static QString title(FullSystemScanComponentState state);
    static QString title(FullSystemScanFindingCategory category);
    static QString title(HealthLevel level);
    static QString title(FullSystemScanPhase phase);
    static QString confidenceTitle(HealthTestConfidence confidence);
    // "59 sn", "2 dk 5 sn".
    static QString durationText(double seconds);
};

} // namespace kestrum
