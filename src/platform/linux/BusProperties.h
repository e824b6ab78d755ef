#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariant>
#include <optional>

namespace kestrum {

// One property through org.freedesktop.DBus.Properties.Get, as a blocking call with a short timeout;
// absent when the bus, the service or the property is not there.
std::optional<QVariant> busProperty(const QDBusConnection& bus, const QString& service, const QString& path,
                                    const QString& interface, const QString& name, int timeoutMs = 500);

} // namespace kestrum
