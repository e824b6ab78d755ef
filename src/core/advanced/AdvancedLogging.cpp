#include "AdvancedLogging.h"

Q_LOGGING_CATEGORY(lcAdvanced, "kestrum.advanced", QtWarningMsg)
