#pragma once

#include <QLoggingCategory>

// One category per component; log texts are English.
Q_DECLARE_LOGGING_CATEGORY(lcSampler)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcArchive)
Q_DECLARE_LOGGING_CATEGORY(lcPreferences)
Q_DECLARE_LOGGING_CATEGORY(lcMonitor)
Q_DECLARE_LOGGING_CATEGORY(lcNotifications)
Q_DECLARE_LOGGING_CATEGORY(lcLocalisation)
Q_DECLARE_LOGGING_CATEGORY(lcStorageMap)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
