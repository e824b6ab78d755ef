#include "Logging.h"

Q_LOGGING_CATEGORY(lcSampler, "kestrum.sampler", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPlatform, "kestrum.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(lcArchive, "kestrum.archive", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPreferences, "kestrum.preferences", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMonitor, "kestrum.monitor", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNotifications, "kestrum.notifications", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLocalisation, "kestrum.localisation", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStorageMap, "kestrum.storage-map", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "kestrum.app", QtWarningMsg)
