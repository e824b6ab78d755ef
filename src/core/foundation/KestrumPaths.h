#pragma once

#include <QString>
#include <QStringList>

namespace kestrum {

// Where Kestrum keeps its files. KESTRUM_DATA_DIR / KESTRUM_CONFIG_DIR (and the CLI's --data-dir, through
// setDataDirectoryOverride) win over the XDG folders, so tests and scripts never touch the real home.
namespace KestrumPaths {
QString dataDirectory();        // $XDG_DATA_HOME/kestrum
QString configDirectory();      // $XDG_CONFIG_HOME/kestrum
QString stateDirectory();       // $XDG_STATE_HOME/kestrum (computed by hand: Qt 6.4 has no state location)
QString archiveFile();          // <data>/health-archive.json
QString benchmarkHistoryFile(); // <data>/cpu-benchmark-history-v1.json
QString metricsTotalsFile();    // <data>/metrics-event-totals.json
QString preferencesFile();      // <config>/preferences.json
void setDataDirectoryOverride(const QString& directory);

// The files the data folder's lock guards, by name: only the lock's holder writes them.
QStringList lockedDataFileNames(); // health-archive.json, cpu-benchmark-history-v1.json

// Creates a folder and its missing parents private to the user (0700), whatever the umask: the history
// and the settings are nobody else's business. True when the folder exists afterwards.
bool createPrivateFolder(const QString& path);
} // namespace KestrumPaths

} // namespace kestrum
