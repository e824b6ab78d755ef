#pragma once

#include "foundation/Date.h"
#include "history/HealthEvent.h"
#include "interpretation/HealthAssessment.h"
#include "interpretation/PersonalBaseline.h"
#include "measurement/SystemSnapshot.h"
#include "network/NetworkQualityResult.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kestrum {

// The build a report describes: its limits section says what this build can and cannot do with fans.
enum class ReportDistribution { store, advanced };

// The Markdown document a user shares with a service provider: the current verdict, the live values,
// the personal normal, the latest network check, a marked incident and the latest alerts. It carries no
// user, host or network name, address, serial or path: free text taken from the inputs is redacted, and
// the incident's note is never included.
struct DiagnosticReportBuilder {
    ReportDistribution distribution = ReportDistribution::advanced;
    // The operating system's version text ("Debian GNU/Linux 12 (bookworm) · Linux 6.1.0-18-amd64").
    QString operatingSystemVersion;
    // Names the inputs cannot reveal by themselves (the user's and the host's); the snapshot's network
    // names and addresses are added by `build`.
    QStringList privateWords;

    // Pure: the same inputs and interface language give the same text.
    QString build(const SystemSnapshot& snapshot, const HealthAssessment& assessment,
                  const PersonalBaseline& baseline, const std::vector<HealthEvent>& events,
                  const std::optional<IncidentSession>& incident,
                  const std::optional<NetworkQualityResult>& networkQualityResult, Date generatedAt) const;
};

} // namespace kestrum
