#pragma once

#include <QString>
#include <QUuid>
#include <optional>

namespace kestrum {

// Canonical hyphenated upper-case text, the persisted form of every identifier.
QString uuidText(const QUuid& uuid);
std::optional<QUuid> uuidFromText(const QString& text);
QUuid newUuid();

} // namespace kestrum
