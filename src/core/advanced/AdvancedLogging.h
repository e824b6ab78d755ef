#pragma once

#include <QLoggingCategory>

// Log category of sensor telemetry and fan control; texts are English.
Q_DECLARE_LOGGING_CATEGORY(lcAdvanced)
