#include "HardwareDoctorEvidence.h"

#include "DiagnosticContextBuilder.h"
#include "DiagnosticEvidenceEngine.h"
#include "hardware/HardwareRecommendationEngine.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/PersonalBaselineEngine.h"

namespace kestrum::HardwareDoctor {

HardwareDoctorEvidence gatherEvidence(const HardwareProfile& profile,
                                      const std::optional<SystemSnapshot>& snapshot,
                                      const std::vector<HealthSample>& history, const QString& symptom,
                                      Date now) {
    HardwareDoctorEvidence evidence;
    evidence.context = DiagnosticContextBuilder::makeContext(profile, snapshot, history, symptom);
    std::vector<HardwareRecommendation> recommendations;
    std::vector<HealthInsight> insights;
    if (snapshot) {
        recommendations = HardwareRecommendationEngine::recommendations(profile, *snapshot, history, now);
        const PersonalBaseline baseline =
            PersonalBaselineEngine::makeBaseline(history, now, PersonalBaselineEngine::kLookbackSeconds);
        insights = HealthInsightEngine::insights(*snapshot, baseline);
    }
    evidence.findings = DiagnosticEvidenceEngine::findings(recommendations, insights, evidence.context);
    evidence.summary = DiagnosticEvidenceEngine::summary(evidence.findings);
    return evidence;
}

} // namespace kestrum::HardwareDoctor
