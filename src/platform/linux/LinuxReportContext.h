#pragma once

#include <QString>
#include <QStringList>

namespace kestrum::LinuxReportContext {

// The names a report must never carry but no input reveals by itself: the user's, the host's and the
// firmware's serials where this user may read them.
QStringList machineNames();

// "Debian GNU/Linux 12 (bookworm) · Linux 6.1.0-18-amd64": what the running system says it is.
QString operatingSystemVersion();

} // namespace kestrum::LinuxReportContext
