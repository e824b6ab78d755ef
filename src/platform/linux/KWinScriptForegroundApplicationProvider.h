#pragma once

#include "ForegroundWindowResolver.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>
#include <qcoro/qcorotask.h>

class QDBusServiceWatcher;

namespace kestrum {

// The foreground application on KDE Plasma under Wayland, where no other program may watch windows:
// KWin runs a small script of Kestrum's that reports each activated window's class, desktop file name
// and process id (never its title) back to this object over the session bus. Works with Plasma 5
// (clientActivated, script objects at /<id>) and 6 (windowActivated, /Scripting/Script<id>). Lives on
// the main thread.
class KWinScriptForegroundApplicationProvider : public QObject,
                                                public ForegroundApplicationProviding,
                                                protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kestrum.ForegroundApplication")
public:
    static constexpr const char* kObjectPath = "/app/kestrum/ForegroundApplication";
    static constexpr const char* kInterfaceName = "app.kestrum.ForegroundApplication";
    static constexpr const char* kKWinService = "org.kde.KWin";

    explicit KWinScriptForegroundApplicationProvider(std::shared_ptr<ForegroundWindowResolver> resolver,
                                                     QDBusConnection bus = QDBusConnection::sessionBus(),
                                                     QObject* parent = nullptr);
    ~KWinScriptForegroundApplicationProvider() override;

    std::optional<ForegroundApplication> currentApplication() override { return m_state.current(); }
    MetricAvailability availability() const override { return m_state.availability(); }

    // The script KWin runs; it calls back `service` (this connection's unique name) at our object.
    static QString scriptText(const QString& service);
    // One report of the script: all parts empty means no window is active.
    static std::optional<ForegroundWindow> parseReport(const QString& resourceClass,
                                                       const QString& resourceName,
                                                       const QString& desktopFileName, const QString& pid);

public Q_SLOTS:
    // Called by the script in KWin; calls from anyone but KWin are ignored.
    Q_NOREPLY void WindowActivated(const QString& resourceClass, const QString& resourceName,
                                   const QString& desktopFileName, const QString& pid);

private:
    QCoro::Task<void> load();
    void unload();

    std::shared_ptr<ForegroundWindowResolver> m_resolver;
    QDBusConnection m_bus;
    ForegroundState m_state;
    QTemporaryDir m_scriptDirectory;
    QString m_pluginName;
    QString m_kwinOwner; // KWin's unique name when the script was loaded
    bool m_registered = false;
    QDBusServiceWatcher* m_watcher = nullptr;
};

} // namespace kestrum
