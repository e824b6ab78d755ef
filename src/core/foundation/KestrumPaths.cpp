#include "KestrumPaths.h"

#include <QDir>

namespace kestrum::KestrumPaths {

namespace {
QString& dataOverride() {
    static QString value;
    return value;
}

QString xdg(const char* variable, const char* fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules ignore relative paths.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackBelowHome);
}
} // namespace

QString dataDirectory() {
    if (!dataOverride().isEmpty())
        return dataOverride();
    const QString env = qEnvironmentVariable("KESTRUM_DATA_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return xdg("XDG_DATA_HOME", ".local/share") + QStringLiteral("/kestrum");
}

QString configDirectory() {
    const QString env = qEnvironmentVariable("KESTRUM_CONFIG_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return xdg("XDG_CONFIG_HOME", ".config") + QStringLiteral("/kestrum");
}

QString stateDirectory() {
    return xdg("XDG_STATE_HOME", ".local/state") + QStringLiteral("/kestrum");
}

QString archiveFile() {
    return dataDirectory() + QStringLiteral("/health-archive.json");
}
QString benchmarkHistoryFile() {
    return dataDirectory() + QStringLiteral("/cpu-benchmark-history-v1.json");
}
QString preferencesFile() {
    return configDirectory() + QStringLiteral("/preferences.json");
}

void setDataDirectoryOverride(const QString& directory) {
    dataOverride() = directory.isEmpty() ? QString() : QDir(directory).absolutePath();
}

} // namespace kestrum::KestrumPaths
