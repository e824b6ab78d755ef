#include "KestrumPaths.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>

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

const char* const kArchiveFileName = "health-archive.json";
const char* const kBenchmarkHistoryFileName = "cpu-benchmark-history-v1.json";

QString archiveFile() {
    return dataDirectory() + u'/' + QLatin1String(kArchiveFileName);
}
QString metricsTotalsFile() {
    return dataDirectory() + QStringLiteral("/metrics-event-totals.json");
}

QString benchmarkHistoryFile() {
    return dataDirectory() + u'/' + QLatin1String(kBenchmarkHistoryFileName);
}
QStringList lockedDataFileNames() {
    return {QLatin1String(kArchiveFileName), QLatin1String(kBenchmarkHistoryFileName)};
}
QString preferencesFile() {
    return configDirectory() + QStringLiteral("/preferences.json");
}

bool createPrivateFolder(const QString& path) {
    const QByteArray target = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    struct stat st {};
    // Every missing component, parents first; mkdir's mode is only ever narrowed by the umask.
    for (qsizetype end = 1; end <= target.size(); ++end) {
        if (end < target.size() && target[end] != '/')
            continue;
        const QByteArray prefix = target.left(end);
        if (::stat(prefix.constData(), &st) == 0)
            continue;
        if (::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return ::stat(target.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setDataDirectoryOverride(const QString& directory) {
    dataOverride() = directory.isEmpty() ? QString() : QDir(directory).absolutePath();
}

} // namespace kestrum::KestrumPaths
