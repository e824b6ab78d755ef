#include "NetworkLogging.h"

Q_LOGGING_CATEGORY(lcNetworkSpeed, "kestrum.network-speed", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNetworkQuality, "kestrum.network-quality", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHTTP, "kestrum.http", QtWarningMsg)
