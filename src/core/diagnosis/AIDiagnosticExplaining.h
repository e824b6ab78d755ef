#pragma once

#include "AIDiagnosticErrors.h"
#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"

#include <qcoro/qcorotask.h>
#include <stop_token>
#include <vector>

namespace kestrum {

// The optional explainer behind the hardware doctor. `availability` never throws; `explain` sends one
// request, throws KestrumError (AIDiagnosticServiceError) or CancellationError, and returns the guarded
// narrative.
class AIDiagnosticExplaining {
public:
    virtual ~AIDiagnosticExplaining() = default;
    virtual QCoro::Task<AIDiagnosticAvailability> availability(std::stop_token stop = {}) = 0;
    virtual QCoro::Task<QString> explain(SanitizedDiagnosticContext context,
                                         std::vector<DiagnosticFinding> findings,
                                         std::stop_token stop = {}) = 0;
};

} // namespace kestrum
