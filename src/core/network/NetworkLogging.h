#pragma once

#include <QLoggingCategory>

// Log categories of the network tests; texts are English.
Q_DECLARE_LOGGING_CATEGORY(lcNetworkSpeed)
Q_DECLARE_LOGGING_CATEGORY(lcNetworkQuality)
Q_DECLARE_LOGGING_CATEGORY(lcHTTP)
