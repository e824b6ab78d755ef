#pragma once

#include "ForegroundWindowResolver.h"

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace kestrum {

// The window properties Kestrum asks an X server for.
enum class X11Property { supported, activeWindow, wmPid, wmClass, wmClientMachine };

// Answers property requests; the real one talks to the X server, tests give recorded replies. A property
// that is missing or of another format is absent.
class X11PropertySource {
public:
    virtual ~X11PropertySource() = default;
    // The raw value of a property of a window (0 = the root window); 32-bit formats as host-order words.
    virtual std::optional<QByteArray> property(uint32_t window, X11Property which) = 0;
    // The atom the server uses for a property (for _NET_SUPPORTED's list).
    virtual std::optional<uint32_t> atom(X11Property which) = 0;
    virtual QString localHostName() const = 0;
};

// Pure readings of X11 property values (EWMH and ICCCM).
namespace X11Properties {
// The first 32-bit word (a WINDOW or a CARDINAL); absent when shorter.
std::optional<uint32_t> firstWord(const QByteArray& raw);
// Every 32-bit word (an ATOM list).
std::vector<uint32_t> words(const QByteArray& raw);
// WM_CLASS: "instance\0class\0" in Latin-1 (UTF-8 when it decodes as such); a missing terminator or
// second part is tolerated.
std::pair<QString, QString> wmClass(const QByteArray& raw);
// A STRING or UTF8_STRING property up to its first NUL.
QString text(const QByteArray& raw);
} // namespace X11Properties

// Why nothing can be read of an X server's foreground window, or the window in front.
struct X11ActiveWindowReading {
    std::optional<QString> unavailableReason;
    std::optional<ForegroundWindow> window; // none: nothing is focused
};

// What the window manager says is in front: _NET_ACTIVE_WINDOW on the root window, then its _NET_WM_PID
// (only when WM_CLIENT_MACHINE is this host: a remote window's pid means nothing here) and WM_CLASS.
X11ActiveWindowReading readX11ActiveWindow(X11PropertySource& source);

// The X11 foreground application, kept current by the X server's PropertyNotify events on the root
// window (no polling), on a thread of its own with its own connection.
class X11ForegroundApplicationProvider : public ForegroundApplicationProviding {
public:
    // `display`: the DISPLAY to connect to (empty: the environment's).
    X11ForegroundApplicationProvider(std::shared_ptr<ForegroundWindowResolver> resolver,
                                     QString display = {});
    ~X11ForegroundApplicationProvider() override;

    std::optional<ForegroundApplication> currentApplication() override { return m_state.current(); }
    MetricAvailability availability() const override { return m_state.availability(); }
    // The connection broke (the X server went away): a new provider is needed.
    bool hasFailed() const { return m_failed.load(); }

private:
    void run();

    std::shared_ptr<ForegroundWindowResolver> m_resolver;
    QString m_display;
    ForegroundState m_state;
    std::atomic<bool> m_failed{false};
    int m_wakeFd = -1;
    std::thread m_thread;
};

} // namespace kestrum
