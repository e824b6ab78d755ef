#pragma once

#include "foundation/Date.h"
#include "healthtests/DeepHealthTestResult.h"
#include "healthtests/HealthTestResult.h"
#include "healthtests/PerformanceSession.h"
#include "healthtests/ProcessorComparison.h"
#include "history/HealthArchive.h"
#include "history/HealthEvent.h"
#include "history/HealthSample.h"
#include "interpretation/PersonalBaseline.h"

#include <QString>
#include <vector>

namespace kestrum {

// What the weekly report is made of: records of the history archive alone, no live measurement.
struct WeeklyHealthReportInput {
    std::vector<HealthSample> samples;
    std::vector<HealthEvent> events;
    std::vector<IncidentSession> incidents;
    std::vector<PerformanceSession> performanceSessions;
    std::vector<HealthTestResult> quickTestResults;
    std::vector<DeepHealthTestResult> deepTestResults;
    PersonalBaseline baseline;
    std::vector<ProcessorComparisonRecord> comparisons;
    Date periodStart;
    Date periodEnd;
    Date generatedAt;

    // The archive's records for the seven days up to `now`, with the baseline learnt from its samples.
    static WeeklyHealthReportInput lastWeek(const HealthArchive& archive, Date now);
};

// The weekly Markdown export: how well the period was measured, a short statistical summary, the
// recorded activities and alert kinds, and the user's saved before/after comparisons. Only counts,
// kinds and figures are printed: no note, session name, application name or any other free text of the
// records, so nothing identifying can reach it.
struct WeeklyHealthReportBuilder {
    // Records count when their time lies within [periodStart, periodEnd]; a performance session counts
    // when it ended there. Pure: the same input and interface language give the same text.
    QString build(const WeeklyHealthReportInput& input) const;
};

} // namespace kestrum
