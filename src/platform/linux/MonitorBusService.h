#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantList>
#include <functional>

namespace kestrum {

class SystemMonitorStore;

// The running monitor's control point on the session bus, so that kestrum-cli changes a running
// Kestrum's state instead of writing the archive behind its back. Every change names the folder it is
// meant for: the monitor answers only for its own data (incidents) or configuration (notifications)
// folder, and replies only once the store has applied and saved the change.
class MonitorBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kestrum.Monitor")
public:
    static constexpr const char* kServiceName = "app.kestrum.Kestrum";
    static constexpr const char* kObjectPath = "/app/kestrum/Monitor";
    static constexpr const char* kInterfaceName = "app.kestrum.Monitor";
    // The folder named in a call is not this monitor's: the caller works on its files directly.
    static constexpr const char* kOtherFolderError = "app.kestrum.Error.OtherFolder";
    // The change was refused or could not be saved; the error message says why (Turkish, a localisation key).
    static constexpr const char* kFailedError = "app.kestrum.Error.Failed";

    MonitorBusService(SystemMonitorStore& store, QString dataDirectory, QString configDirectory,
                      QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~MonitorBusService() override;
    // False when there is no session bus or another process owns the name.
    bool registerOnBus();

public Q_SLOTS:
    // Answers the confirmation text.
    QString StartIncident(const QString& dataDirectory, const QString& note);
    QString StopIncident(const QString& dataDirectory, const QString& note);
    // Answers whether notifications are now on, and the status text.
    bool SetNotificationsEnabled(const QString& configDirectory, bool enabled, QString& statusMessage);
    bool IsMonitoring();
    // The resource analysis kept in this process's memory (observations are never written anywhere),
    // as the JSON of a ResourceCulpritReport.
    QString ResourceCulprits(const QString& dataDirectory);
    // The consent of the resource analysis (kept in the configuration folder); withdrawing it drops every
    // observation at once. Answers whether it is now on.
    bool SetResourceAnalysisEnabled(const QString& configDirectory, bool enabled);
    // Empties the observations gathered since launch; the consent stays. Answers the confirmation text.
    QString ClearResourceActivity(const QString& dataDirectory);
    // Answer the confirmation text once the session is saved.
    QString StartPerformanceSession(const QString& dataDirectory, const QString& name);
    QString StopPerformanceSession(const QString& dataDirectory);
    // The processor comparison: `command` is "start", "begin" (the user's action is done), "state",
    // "save" (with `action`: unspecified, observedOnly or pausedKnownTask) or "dismiss". Answers the
    // comparison as JSON (see processorComparisonToJson); a refused step is an error with the reason.
    QString ProcessorComparison(const QString& dataDirectory, const QString& command, const QString& action);
    // A second start of the application asks the first one to show its window; answers whether there
    // was a window to show (a headless monitor has none).
    bool ShowWindow();

public:
    void setShowWindowHandler(std::function<bool()> handler) { m_showWindow = std::move(handler); }

private:
    bool isOwnFolder(const QString& requested, const QString& own);

    SystemMonitorStore& m_store;
    QString m_dataDirectory;
    QString m_configDirectory;
    QDBusConnection m_bus;
    bool m_registered = false;
    std::function<bool()> m_showWindow;
};

// What a call to a running monitor came to.
struct MonitorCallResult {
    enum class Status { unreachable, otherFolder, failed, succeeded };
    Status status = Status::unreachable;
    QString errorMessage;   // for `failed`
    QVariantList arguments; // for `succeeded`
};

// Calls a method of a running monitor.
MonitorCallResult callRunningMonitor(const QString& method, const QVariantList& arguments,
                                     QDBusConnection bus = QDBusConnection::sessionBus());

// A folder path as the bus contract compares it: absolute, without symbolic links where it exists.
QString canonicalFolder(const QString& path);

} // namespace kestrum
