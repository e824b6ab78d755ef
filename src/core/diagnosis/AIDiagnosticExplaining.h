#pragma once

#include "AIDiagnosticErrors.h"
#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"

#include <qcoro/qcorotask.h>
#include <stop_token>
#include <vector>

namespace kestrum {

// The explanation: the category the model chose and the narrative assembled and guarded locally.
struct AIDiagnosticExplanation {
    DiagnosticCategory category = DiagnosticCategory::general;
    QString narrative;
    bool operator==(const AIDiagnosticExplanation&) const = default;
};

// The optional explainer behind the hardware doctor. `availability` never throws; `explain` sends one
// request, throws KestrumError (AIDiagnosticServiceError) or CancellationError, and returns the chosen
// category with the guarded narrative.
class AIDiagnosticExplaining {
public:
    virtual ~AIDiagnosticExplaining() = default;
    virtual QCoro::Task<AIDiagnosticAvailability> availability(std::stop_token stop = {}) = 0;
    virtual QCoro::Task<AIDiagnosticExplanation> explain(SanitizedDiagnosticContext context,
                                                         std::vector<DiagnosticFinding> findings,
                                                         std::stop_token stop = {}) = 0;
};

} // namespace kestrum
