#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kestrum::test {

// A writable copy of some parts of a recorded machine ("sys/class/thermal", "sys/devices/virtual"), kept
// at the same places and with their links, for tests that change files; much cheaper than the whole tree.
std::unique_ptr<QTemporaryDir> copyParts(const QString& machine, const QStringList& parts);

} // namespace kestrum::test
