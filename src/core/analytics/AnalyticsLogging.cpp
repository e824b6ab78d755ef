#include "AnalyticsLogging.h"

Q_LOGGING_CATEGORY(lcAnalytics, "kestrum.analytics", QtWarningMsg)
