#pragma once

#include "HardwareProfile.h"
#include "HardwareRecommendation.h"

#include <QString>

namespace kestrum {

// Short localised labels for the hardware records, shared by the window and the command line.
namespace HardwarePresentation {

QString componentLabel(HardwareComponentKind kind);                // "İşlemci", "Depolama", …
QString serviceabilityLabel(const ComponentServiceability& value); // "Ana karta entegre", …
QString sourceLabel(HardwareDetectionSource source); // "Sistemden okundu", "Model kataloğundan"
QString applicabilityLabel(PartApplicability applicability);
QString urgencyLabel(HardwareRecommendationUrgency urgency);
QString recommendationKindLabel(HardwareRecommendationKind kind);
QString confidenceLabel(CulpritConfidence confidence);

} // namespace HardwarePresentation

} // namespace kestrum
