#pragma once

#include "ForegroundWindowResolver.h"
#include "foundation/Clocks.h"

#include <functional>
#include <memory>

namespace kestrum {

// The graphical session this process runs in, as its environment tells.
struct DesktopSession {
    QString sessionType;    // XDG_SESSION_TYPE: "x11", "wayland", "tty", …
    QString currentDesktop; // XDG_CURRENT_DESKTOP, colon-separated
    QString desktopSession; // DESKTOP_SESSION
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString x11Display;     // DISPLAY

    static DesktopSession fromEnvironment();
    // The desktop's name for messages ("GNOME", "sway", "KDE"); "" when unknown.
    QString desktopName() const;
    bool operator==(const DesktopSession&) const = default;
};

// Which way the foreground application can be known in a session, or why it cannot.
struct ForegroundBackendChoice {
    enum class Kind { x11, kwin, wlroots, unavailable };
    Kind kind = Kind::unavailable;
    QString unavailableReason; // Turkish, for `unavailable`

    static ForegroundBackendChoice choose(const DesktopSession& session);
    bool operator==(const ForegroundBackendChoice&) const = default;
};

// The foreground application provider for the session, chosen at run time: X11 (EWMH), KDE Plasma on
// Wayland (a KWin script), wlroots compositors (foreign-toplevel); GNOME on Wayland and anything else
// cannot be asked, and say so. When the chosen way breaks (the X server or compositor went away, as a
// session restart does), the session is looked at again, at most once in 30 seconds.
class LinuxForegroundApplicationProvider : public ForegroundApplicationProviding {
public:
    using SessionReader = std::function<DesktopSession()>;
    LinuxForegroundApplicationProvider(std::shared_ptr<ForegroundWindowResolver> resolver,
                                       SessionReader session = DesktopSession::fromEnvironment,
                                       MonotonicClock clock = {});
    ~LinuxForegroundApplicationProvider() override;

    std::optional<ForegroundApplication> currentApplication() override;
    MetricAvailability availability() const override;
    ForegroundBackendChoice::Kind backend() const;

private:
    // Nothing connects to the desktop until the first question: a short command never loads a KWin
    // script or opens a display.
    void build() const;
    bool backendFailed() const;

    std::shared_ptr<ForegroundWindowResolver> m_resolver;
    SessionReader m_session;
    MonotonicClock m_clock;
    mutable ForegroundBackendChoice m_choice;
    mutable std::unique_ptr<ForegroundApplicationProviding> m_backend;
    mutable double m_builtAt = 0;
};

} // namespace kestrum
