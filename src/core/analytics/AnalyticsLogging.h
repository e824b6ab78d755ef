#pragma once

#include <QLoggingCategory>

// Log category of product analytics; texts are English. Analytics problems end here, never at the user.
Q_DECLARE_LOGGING_CATEGORY(lcAnalytics)
