#pragma once

#include "foundation/EnumTraits.h"
#include "foundation/KestrumError.h"

#include <QString>
#include <variant>

namespace kestrum {

// Why an explanation could not be produced; the findings stand without it.
enum class AIDiagnosticServiceError {
    modelUnavailable,
    emptyResponse,
    invalidClassification,
    unsupportedCertainty
};

template <> struct EnumTraits<AIDiagnosticServiceError> {
    static constexpr std::pair<AIDiagnosticServiceError, std::string_view> cases[] = {
        {AIDiagnosticServiceError::modelUnavailable, "modelUnavailable"},
        {AIDiagnosticServiceError::emptyResponse, "emptyResponse"},
        {AIDiagnosticServiceError::invalidClassification, "invalidClassification"},
        {AIDiagnosticServiceError::unsupportedCertainty, "unsupportedCertainty"},
    };
};

QString description(AIDiagnosticServiceError error);
// A KestrumError whose code is "aiDiagnostic.<case>".
KestrumError makeError(AIDiagnosticServiceError error);
// The case a KestrumError stands for, when it is one of these.
std::optional<AIDiagnosticServiceError> aiDiagnosticServiceError(const KestrumError& error);

// Whether the explainer can answer now, and if not, why.
struct AIDiagnosticAvailability {
    enum class Case {
        checking,
        availableOnDevice,
        requiresNewerSystem,
        deviceNotEligible,
        appleIntelligenceDisabled,
        modelNotReady,
        languageUnsupported,
        unavailable
    };
    Case kind = Case::checking;
    QString reason; // only for `unavailable`: a Turkish sentence

    static AIDiagnosticAvailability of(Case kind) { return {kind, {}}; }
    static AIDiagnosticAvailability unavailableBecause(QString reason) {
        return {Case::unavailable, std::move(reason)};
    }
    bool isAvailable() const { return kind == Case::availableOnDevice; }
    // The sentence shown under the explain button. Turkish; for `unavailable` the reason follows the
    // fixed opening, so localise both parts with `localizedExplanation`.
    QString explanation() const;
    bool operator==(const AIDiagnosticAvailability&) const = default;
};

template <> struct EnumTraits<AIDiagnosticAvailability::Case> {
    using C = AIDiagnosticAvailability::Case;
    static constexpr std::pair<C, std::string_view> cases[] = {
        {C::checking, "checking"},
        {C::availableOnDevice, "availableOnDevice"},
        {C::requiresNewerSystem, "requiresNewerSystem"},
        {C::deviceNotEligible, "deviceNotEligible"},
        {C::appleIntelligenceDisabled, "appleIntelligenceDisabled"},
        {C::modelNotReady, "modelNotReady"},
        {C::languageUnsupported, "languageUnsupported"},
        {C::unavailable, "unavailable"},
    };
};

} // namespace kestrum
