#include "LinuxForegroundApplicationProvider.h"

#include "KWinScriptForegroundApplicationProvider.h"
#include "WlrForeignToplevelForegroundApplicationProvider.h"
#include "X11ForegroundApplicationProvider.h"
#include "foundation/Translatable.h"

namespace kestrum {

namespace {

constexpr double kRetryAfterSeconds = 30;

bool names(const QString& desktops, const char* name) {
    for (const QString& desktop : desktops.split(u':', Qt::SkipEmptyParts)) {
        if (desktop.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

DesktopSession DesktopSession::fromEnvironment() {
    return DesktopSession{qEnvironmentVariable("XDG_SESSION_TYPE"),
                          qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                          qEnvironmentVariable("DESKTOP_SESSION"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                          qEnvironmentVariable("DISPLAY")};
}

QString DesktopSession::desktopName() const {
    const QStringList desktops = currentDesktop.split(u':', Qt::SkipEmptyParts);
    // "ubuntu:GNOME" names the desktop last; a single entry is the desktop itself.
    QString name = desktops.isEmpty() ? desktopSession : desktops.last();
    return ForegroundApplication::sanitizedName(name);
}

ForegroundBackendChoice ForegroundBackendChoice::choose(const DesktopSession& session) {
    const QString type = session.sessionType.trimmed().toLower();
    const bool wayland = type == u"wayland" || (type.isEmpty() && !session.waylandDisplay.isEmpty());
    const bool x11 = type == u"x11" || (type.isEmpty() && !session.x11Display.isEmpty());
    const QString noSession = trText("Grafik bir masaüstü oturumu yok; ön plandaki uygulama bilinemiyor.");
    if (wayland) {
        if (session.waylandDisplay.isEmpty())
            return {Kind::unavailable, noSession};
        if (names(session.currentDesktop, "KDE"))
            return {Kind::kwin, {}};
        if (names(session.currentDesktop, "GNOME") || names(session.currentDesktop, "GNOME-Classic") ||
            names(session.currentDesktop, "GNOME-Flashback")) {
            const QString desktop =
                session.desktopName().isEmpty() ? QStringLiteral("GNOME") : session.desktopName();
            return {Kind::unavailable,
                    trTemplate("\\(desktop) Wayland oturumunda ön plandaki uygulamayı başka programlara "
                               "bildirmiyor; bunu yalnız kendi eklentileri görebilir.",
                               {desktop})};
        }
        return {Kind::wlroots, {}};
    }
    if (x11) {
        if (session.x11Display.isEmpty())
            return {Kind::unavailable, noSession};
        return {Kind::x11, {}};
    }
    return {Kind::unavailable, noSession};
}

LinuxForegroundApplicationProvider::LinuxForegroundApplicationProvider(
    std::shared_ptr<ForegroundWindowResolver> resolver, SessionReader session, MonotonicClock clock)
    : m_resolver(std::move(resolver)), m_session(std::move(session)),
      m_clock(clock ? std::move(clock) : systemMonotonicClock()) {}

LinuxForegroundApplicationProvider::~LinuxForegroundApplicationProvider() = default;

void LinuxForegroundApplicationProvider::build() const {
    m_backend.reset(); // the old connection goes before a new one starts
    const DesktopSession session = m_session();
    m_choice = ForegroundBackendChoice::choose(session);
    m_builtAt = m_clock();
    QString desktop = session.desktopName();
    if (desktop.isEmpty())
        desktop = trText("Bu bileşik yönetici");
    switch (m_choice.kind) {
    case ForegroundBackendChoice::Kind::x11:
        m_backend = std::make_unique<X11ForegroundApplicationProvider>(m_resolver, session.x11Display);
        break;
    case ForegroundBackendChoice::Kind::kwin:
        m_backend = std::make_unique<KWinScriptForegroundApplicationProvider>(m_resolver);
        break;
    case ForegroundBackendChoice::Kind::wlroots:
        m_backend = std::make_unique<WlrForeignToplevelForegroundApplicationProvider>(m_resolver, desktop,
                                                                                      session.waylandDisplay);
        break;
    case ForegroundBackendChoice::Kind::unavailable:
        m_backend = std::make_unique<UnavailableForegroundApplicationProvider>(m_choice.unavailableReason);
        break;
    }
}

bool LinuxForegroundApplicationProvider::backendFailed() const {
    if (const auto* x11 = dynamic_cast<const X11ForegroundApplicationProvider*>(m_backend.get()))
        return x11->hasFailed();
    if (const auto* wlr =
            dynamic_cast<const WlrForeignToplevelForegroundApplicationProvider*>(m_backend.get()))
        return wlr->hasFailed();
    return false;
}

std::optional<ForegroundApplication> LinuxForegroundApplicationProvider::currentApplication() {
    if (!m_backend || (backendFailed() && m_clock() - m_builtAt >= kRetryAfterSeconds))
        build();
    return m_backend->currentApplication();
}

MetricAvailability LinuxForegroundApplicationProvider::availability() const {
    if (!m_backend)
        build();
    return m_backend->availability();
}

ForegroundBackendChoice::Kind LinuxForegroundApplicationProvider::backend() const {
    if (!m_backend)
        build();
    return m_choice.kind;
}

} // namespace kestrum
