#pragma once

#include "HealthAssessment.h"
#include "HealthInsight.h"
#include "PersonalBaseline.h"

#include <QString>

namespace kestrum::HealthPresentation {

// Display words of the verdicts, localised. Shared by the CLI and the application.
QString levelLabel(HealthLevel level); // "Normal", "Dikkat", "Kritik", "Bilinmiyor"
QString confidenceLabel(HealthAssessmentConfidence confidence);
QString baselineConfidenceLabel(BaselineConfidence confidence);
// While learning: min(sampleCount ÷ 240, 1); once learned: 1.
double baselineProgress(const PersonalBaseline& baseline);
// "12/240 geçerli dakika · 1 farklı gün gözlendi (3 gerekli)." while learning, else empty.
QString baselineProgressText(const PersonalBaseline& baseline);
QString baselineNote(const PersonalBaseline& baseline);

} // namespace kestrum::HealthPresentation
