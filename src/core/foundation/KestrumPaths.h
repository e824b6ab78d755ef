#pragma once

#include <QString>

namespace kestrum {

// Where Kestrum keeps its files. KESTRUM_DATA_DIR / KESTRUM_CONFIG_DIR (and the CLI's --data-dir, through
// setDataDirectoryOverride) win over the XDG folders, so tests and scripts never touch the real home.
namespace KestrumPaths {
QString dataDirectory();        // $XDG_DATA_HOME/kestrum
QString configDirectory();      // $XDG_CONFIG_HOME/kestrum
QString stateDirectory();       // $XDG_STATE_HOME/kestrum (computed by hand: Qt 6.4 has no state location)
QString archiveFile();          // <data>/health-archive.json
QString benchmarkHistoryFile(); // <data>/cpu-benchmark-history-v1.json
QString preferencesFile();      // <config>/preferences.json
void setDataDirectoryOverride(const QString& directory);
} // namespace KestrumPaths

} // namespace kestrum
