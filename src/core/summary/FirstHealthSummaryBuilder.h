#pragma once

#include "FirstHealthSummary.h"

namespace kestrum {

// The one-screen verdict from whatever evidence is fresh. Pure: the same input gives the same summary, and
// missing or stale evidence lowers coverage and confidence instead of counting as good news.
class FirstHealthSummaryBuilder {
public:
    explicit FirstHealthSummaryBuilder(FirstHealthSummaryFreshnessPolicy policy = {}) : m_policy(policy) {}

    FirstHealthSummary build(const FirstHealthSummaryInput& input) const;

    // Whether `a` ranks before `b`: urgency, impact, confidence, actionability (higher first), then the kind
    // and source names in ascending order.
    static bool ranksBefore(const FirstHealthSummaryFinding& a, const FirstHealthSummaryFinding& b);
    // One finding per category (the better one), ranked, at most three.
    static std::vector<FirstHealthSummaryFinding>
    rank(const std::vector<FirstHealthSummaryFinding>& findings);

    const FirstHealthSummaryFreshnessPolicy& policy() const { return m_policy; }

private:
    FirstHealthSummaryFreshnessPolicy m_policy;
};

// low/medium/high and learning/early/established, by position.
FirstHealthSummaryConfidence summaryConfidence(HealthAssessmentConfidence confidence);
FirstHealthSummaryConfidence summaryConfidence(HealthTestConfidence confidence);
FirstHealthSummaryConfidence summaryConfidence(BaselineConfidence confidence);

} // namespace kestrum
