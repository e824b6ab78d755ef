#pragma once

#include <QLoggingCategory>

// Log category of the privileged fan helper (the journal, through stderr); texts are English.
Q_DECLARE_LOGGING_CATEGORY(lcFanHelper)
