#include "LaunchAtLoginStore.h"

#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kestrum {

LaunchAtLoginStore::LaunchAtLoginStore(QString executablePath, QStringList installedBinDirectories,
                                       QString configHome, QObject* parent)
    : QObject(parent), m_executablePath(std::move(executablePath)),
      m_installedBinDirectories(std::move(installedBinDirectories)), m_configHome(std::move(configHome)) {
    m_status = readStatus();
}

LaunchAtLoginStore* LaunchAtLoginStore::forThisProcess(QObject* parent) {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    const QString executable = QCoreApplication::applicationFilePath();
    return new LaunchAtLoginStore(executable,
                                  installedBinDirectories(executable, QStringLiteral(KESTRUM_INSTALL_BINDIR)),
                                  configHome, parent);
}

QStringList LaunchAtLoginStore::installedBinDirectories(const QString& executablePath,
                                                        const QString& configuredBinDirectory) {
    QStringList out{configuredBinDirectory, QStringLiteral("/usr/bin")};
    const QString own = QFileInfo(executablePath).absolutePath();
    if (QFileInfo::exists(
            QDir::cleanPath(own + QStringLiteral("/../share/applications/") + QLatin1String(kDesktopId))))
        out.append(own);
    return out;
}

QString LaunchAtLoginStore::autostartFile() const {
    return m_configHome + QStringLiteral("/autostart/") + QLatin1String(kDesktopId);
}

QString LaunchAtLoginStore::statusName() const {
    switch (m_status) {
    case LaunchAtLoginStatus::disabled:
        return QStringLiteral("disabled");
    case LaunchAtLoginStatus::enabled:
        return QStringLiteral("enabled");
    case LaunchAtLoginStatus::approvalRequired:
        return QStringLiteral("approvalRequired");
    case LaunchAtLoginStatus::unavailable:
        break;
    }
    return QStringLiteral("unavailable");
}

LaunchAtLoginStatus LaunchAtLoginStore::readStatus() const {
    if (!execArgument(m_executablePath))
        return LaunchAtLoginStatus::unavailable;
    const QString folder = QFileInfo(m_executablePath).absolutePath();
    bool installed = false;
    for (const QString& bin : m_installedBinDirectories)
        installed = installed || (!bin.isEmpty() && QDir::cleanPath(bin) == QDir::cleanPath(folder));
    if (!installed)
        return LaunchAtLoginStatus::unavailable;
    QFile file(autostartFile());
    if (!file.open(QIODevice::ReadOnly))
        return LaunchAtLoginStatus::disabled;
    // An entry switched off by the desktop's own settings counts as disabled.
    const QByteArray text = file.readAll();
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed == "Hidden=true" || trimmed == "X-GNOME-Autostart-enabled=false")
            return LaunchAtLoginStatus::disabled;
    }
    return LaunchAtLoginStatus::enabled;
}

void LaunchAtLoginStore::refresh() {
    const LaunchAtLoginStatus status = readStatus();
    if (status != m_status) {
        m_status = status;
        Q_EMIT changed();
    }
}

std::optional<QByteArray> LaunchAtLoginStore::execArgument(const QString& path) {
    if (path.isEmpty() || path.contains(u'=') ||
        std::any_of(path.begin(), path.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return std::nullopt;
    // Desktop entries quote an argument with reserved characters and escape ", `, $ and \ inside the
    // quotes; the value itself then escapes every backslash once more, and % is written %%.
    static const QString reserved = QStringLiteral(" \"'\\><~|&;$*?#()`");
    QString argument = path;
    if (std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (const QChar c : path) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        argument = u'"' + quoted + u'"';
    }
    argument.replace(u'\\', QStringLiteral("\\\\"));
    argument.replace(u'%', QStringLiteral("%%"));
    return argument.toUtf8();
}

void LaunchAtLoginStore::setEnabled(bool enabled) {
    m_status = readStatus();
    m_failed = false;
    if (m_status != LaunchAtLoginStatus::unavailable) {
        try {
            if (enabled && m_status != LaunchAtLoginStatus::enabled &&
                m_status != LaunchAtLoginStatus::approvalRequired) {
                const QByteArray entry = QByteArrayLiteral("[Desktop Entry]\n"
                                                           "Type=Application\n"
                                                           "Name=Kestrum\n"
                                                           "Comment=Machine-health monitor\n"
                                                           "Exec=") +
                                         *execArgument(m_executablePath) +
                                         QByteArrayLiteral(" --hidden\n"
                                                           "Icon=app.kestrum.Kestrum\n"
                                                           "Terminal=false\n"
                                                           "X-GNOME-Autostart-enabled=true\n");
                writeFileAtomically(autostartFile(), entry);
            } else if (!enabled && QFile::exists(autostartFile()) && !QFile::remove(autostartFile())) {
                m_failed = true;
            }
        } catch (const KestrumError& error) {
            qCWarning(lcApp) << "launch at login could not be changed:" << error.description();
            m_failed = true;
        }
    }
    m_status = readStatus();
    Q_EMIT changed();
}

} // namespace kestrum
