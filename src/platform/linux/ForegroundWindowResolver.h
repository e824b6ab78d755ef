#pragma once

#include "DesktopEntryCatalog.h"
#include "culprits/ForegroundApplication.h"

#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace kestrum {

// What a desktop tells about the window in front. Titles are never taken: they carry documents' names.
struct ForegroundWindow {
    QString applicationID;  // Wayland app id or KWin's desktop file name
    QString windowClass;    // X11 WM_CLASS class part, KWin's resource class
    QString windowInstance; // X11 WM_CLASS instance part, KWin's resource name
    std::optional<qint64> pid;

    bool operator==(const ForegroundWindow&) const = default;
};

// Names the application of a foreground window: the desktop entry's Name for its desktop id when one
// exists (the id is then the identifier), else the process's name, else the window class or app id.
// Kestrum's own windows (by process, identifier or name) give none.
class ForegroundWindowResolver {
public:
    ForegroundWindowResolver(std::shared_ptr<DesktopEntryCatalog> catalog, QString procRoot,
                             std::optional<QString> excludedBundleIdentifier, qint64 ownPid);
    // For this process: the system's desktop entries, /proc, Kestrum's own desktop id and pid.
    static std::shared_ptr<ForegroundWindowResolver> forThisProcess();

    std::optional<ForegroundApplication> resolve(const ForegroundWindow& window) const;
    DesktopEntryCatalog& catalog() const { return *m_catalog; }

private:
    std::optional<QString> processName(qint64 pid) const;

    std::shared_ptr<DesktopEntryCatalog> m_catalog;
    QString m_procRoot;
    std::optional<QString> m_excluded;
    qint64 m_ownPid;
};

// The latest foreground application a desktop reported, and whether one can be known; written by the
// provider's event source (its own thread or the bus), read by the store on the main thread.
class ForegroundState {
public:
    explicit ForegroundState(MetricAvailability initial) : m_availability(std::move(initial)) {}
    void set(std::optional<ForegroundApplication> application);
    void setAvailability(MetricAvailability availability);
    std::optional<ForegroundApplication> current() const;
    MetricAvailability availability() const;

private:
    mutable std::mutex m_mutex;
    std::optional<ForegroundApplication> m_current;
    MetricAvailability m_availability;
};

} // namespace kestrum
