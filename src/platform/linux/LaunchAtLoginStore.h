#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace kestrum {

enum class LaunchAtLoginStatus { disabled, enabled, approvalRequired, unavailable };

// Opening Kestrum at login through an XDG autostart entry ($XDG_CONFIG_HOME/autostart/<app id>.desktop).
// Only an installed Kestrum can register itself: run from a build folder, or from a path that an entry
// cannot carry, the status is unavailable.
// Linux asks nobody for approval, so approvalRequired does not occur.
class LaunchAtLoginStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString status READ statusName NOTIFY changed)
    Q_PROPERTY(bool failed READ failed NOTIFY changed)
    Q_PROPERTY(bool isAvailable READ isAvailable NOTIFY changed)
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY changed)

public:
    static constexpr const char* kDesktopId = "app.kestrum.Kestrum.desktop";

    // `installedBinDirectories`: where an installed kestrum lives (the install prefix's bin folder).
    LaunchAtLoginStore(QString executablePath, QStringList installedBinDirectories, QString configHome,
                       QObject* parent = nullptr);
    // The running program, the configured install prefix and $XDG_CONFIG_HOME.
    static LaunchAtLoginStore* forThisProcess(QObject* parent = nullptr);
    // Where an installed kestrum may live: the configured prefix's bin folder, /usr/bin, and the
    // program's own folder when `cmake --install` put the desktop entry beside it (../share/applications),
    // whatever prefix was chosen then.
    static QStringList installedBinDirectories(const QString& executablePath,
                                               const QString& configuredBinDirectory);

    LaunchAtLoginStatus status() const { return m_status; }
    QString statusName() const;
    bool failed() const { return m_failed; }
    bool isAvailable() const { return m_status != LaunchAtLoginStatus::unavailable; }
    bool isEnabled() const { return m_status == LaunchAtLoginStatus::enabled; }
    QString autostartFile() const;

    Q_INVOKABLE void setEnabled(bool enabled);

    // The program's path as the Exec key of a desktop entry writes it: quoted and escaped as the Desktop
    // Entry specification says. Absent for a path no entry can carry safely (control characters, which
    // would end the key or start another, and "=", which a program path may not contain); such a program
    // is not offered launch at login.
    static std::optional<QByteArray> execArgument(const QString& path);
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void changed();

private:
    LaunchAtLoginStatus readStatus() const;

    QString m_executablePath;
    QStringList m_installedBinDirectories;
    QString m_configHome;
    LaunchAtLoginStatus m_status = LaunchAtLoginStatus::unavailable;
    bool m_failed = false;
};

} // namespace kestrum
