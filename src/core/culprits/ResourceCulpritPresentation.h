#pragma once

#include "ApplicationUsage.h"
#include "ResourceCulprit.h"

#include <QStringList>

namespace kestrum {

// What the resource screen and the battery screen's application section say, in Turkish (localised at
// display). The analysis is a correlation and every text that shows it says so; the measured table says
// that it is measured.
namespace ResourceCulpritPresentation {

// Without consent: what the observation does, what it never reads, and the switch.
struct ConsentRequest {
    QString title, subtitle, badge, explanation, caveat;
    QStringList privacyPoints;
    QString button;
};
ConsentRequest consentRequest(double sampleInterval);

struct TableRow {
    QString application, averageCPU, peakCPU, memory, signal;
    bool operator==(const TableRow&) const = default;
};

// With consent: the switch's state, the clear button, then either the empty state or the leading
// candidate (or its absence) and the comparison table.
struct ActiveObservation {
    QString title, subtitle, state, switchOffHint, clearButton, clearHint, caveat;
    bool isEmpty = true;
    QString emptyTitle, emptyDetail;
    QString leadingTitle, leadingDetail; // the candidate's sentence, or why there is none
    QString tableTitle;
    QStringList columns;
    std::vector<TableRow> rows;
};
ActiveObservation activeObservation(const ResourceCulpritAnalysis& analysis);

// "<name> ön plandayken sistem CPU kullanımı ortalama %45, tepe %80; ortalama bellek kullanımı %60"
QString leadingSentence(const AppResourceSummary& summary);
QString impactLabel(CulpritImpact impact);
QString confidenceLabel(CulpritConfidence confidence);

// The battery screen's application section.
struct BatteryRow {
    QString application, averageDischarge, measurements;
    bool operator==(const BatteryRow&) const = default;
};
struct BatterySection {
    QString title, caveat, emptyText;
    std::vector<BatteryRow> rows;
};
BatterySection batterySection(const BatteryImpactAnalysis& analysis);

// What applications use, as the kernel measured it.
struct UsageRow {
    QString application, cpuTime, recentCPU, memory, diskRead, diskWritten;
    bool operator==(const UsageRow&) const = default;
};
struct UsageTable {
    QString title, caption, unavailableReason, diskNote;
    QStringList columns;
    std::vector<UsageRow> rows;
};
UsageTable usageTable(const ApplicationUsageReport& report);

} // namespace ResourceCulpritPresentation

} // namespace kestrum
