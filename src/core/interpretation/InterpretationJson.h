#pragma once

#include "HealthAssessment.h"
#include "HealthInsight.h"
#include "PersonalBaseline.h"

#include <QJsonValue>
#include <vector>

namespace kestrum {

QJsonValue baselineToJson(const PersonalBaseline& baseline);
QJsonValue insightsToJson(const std::vector<HealthInsight>& insights);
QJsonValue assessmentToJson(const HealthAssessment& assessment);

} // namespace kestrum
