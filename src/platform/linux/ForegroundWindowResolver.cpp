#include "ForegroundWindowResolver.h"

#include "SysfsFiles.h"

#include <unistd.h>

namespace kestrum {

namespace {

// Kestrum's own desktop id; its windows are never reported.
constexpr const char* kOwnDesktopID = "app.kestrum.Kestrum";

} // namespace

ForegroundWindowResolver::ForegroundWindowResolver(std::shared_ptr<DesktopEntryCatalog> catalog,
                                                   QString procRoot,
                                                   std::optional<QString> excludedBundleIdentifier,
                                                   qint64 ownPid)
    : m_catalog(std::move(catalog)), m_procRoot(std::move(procRoot)),
      m_excluded(std::move(excludedBundleIdentifier)), m_ownPid(ownPid) {}

std::shared_ptr<ForegroundWindowResolver> ForegroundWindowResolver::forThisProcess() {
    return std::make_shared<ForegroundWindowResolver>(
        std::make_shared<DesktopEntryCatalog>(DesktopEntryCatalog::systemApplicationDirectories()),
        QStringLiteral("/proc"), QString::fromLatin1(kOwnDesktopID), static_cast<qint64>(::getpid()));
}

std::optional<QString> ForegroundWindowResolver::processName(qint64 pid) const {
    if (pid <= 0)
        return std::nullopt;
    const auto comm = sysfs::readText(m_procRoot + u'/' + QString::number(pid) + QStringLiteral("/comm"));
    if (!comm || comm->isEmpty())
        return std::nullopt;
    return comm;
}

std::optional<ForegroundApplication> ForegroundWindowResolver::resolve(const ForegroundWindow& window) const {
    if (window.pid && *window.pid == m_ownPid)
        return std::nullopt;
    QString applicationID = window.applicationID.trimmed();
    if (applicationID.endsWith(QLatin1String(".desktop")))
        applicationID.chop(8);

    std::optional<QString> desktopID;
    if (!applicationID.isEmpty() && m_catalog->entry(applicationID))
        desktopID = applicationID;
    if (!desktopID)
        desktopID = m_catalog->desktopIDForWindowClass(window.windowClass, window.windowInstance);
    if (desktopID) {
        const auto entry = m_catalog->entry(*desktopID);
        const QString name = entry && !entry->name.trimmed().isEmpty() ? entry->name : *desktopID;
        return ForegroundApplication::accepted(name, *desktopID, m_excluded);
    }
    // Without an entry: the app id still says which application it is; the name is the process's.
    std::optional<QString> identifier;
    if (!applicationID.isEmpty())
        identifier = applicationID;
    for (const std::optional<QString>& candidate :
         {window.pid ? processName(*window.pid) : std::nullopt, std::optional(window.windowClass),
          std::optional(window.windowInstance), std::optional(applicationID)}) {
        if (candidate && !ForegroundApplication::sanitizedName(*candidate).isEmpty())
            return ForegroundApplication::accepted(*candidate, identifier, m_excluded);
    }
    return std::nullopt;
}

void ForegroundState::set(std::optional<ForegroundApplication> application) {
    std::lock_guard lock(m_mutex);
    m_current = std::move(application);
}

void ForegroundState::setAvailability(MetricAvailability availability) {
    std::lock_guard lock(m_mutex);
    m_availability = std::move(availability);
    if (!m_availability.isAvailable())
        m_current.reset();
}

std::optional<ForegroundApplication> ForegroundState::current() const {
    std::lock_guard lock(m_mutex);
    return m_current;
}

MetricAvailability ForegroundState::availability() const {
    std::lock_guard lock(m_mutex);
    return m_availability;
}

} // namespace kestrum
