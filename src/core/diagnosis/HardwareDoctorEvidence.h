#pragma once

#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"
#include "hardware/HardwareProfile.h"
#include "history/HealthSample.h"
#include "measurement/SystemSnapshot.h"

#include <optional>
#include <vector>

namespace kestrum {

// What the hardware doctor knows right now: the explainer's context, the verified findings and their
// summary. Built from the same inputs by the window and by kestrum-cli.
struct HardwareDoctorEvidence {
    SanitizedDiagnosticContext context;
    std::vector<DiagnosticFinding> findings;
    QString summary;
    bool operator==(const HardwareDoctorEvidence&) const = default;
};

namespace HardwareDoctor {

// The hardware recommendations and the health insights (against the baseline learnt from `history`)
// of this moment, turned into findings. `snapshot` absent: nothing measured yet.
HardwareDoctorEvidence gatherEvidence(const HardwareProfile& profile,
                                      const std::optional<SystemSnapshot>& snapshot,
                                      const std::vector<HealthSample>& history, const QString& symptom,
                                      Date now);

} // namespace HardwareDoctor

} // namespace kestrum
